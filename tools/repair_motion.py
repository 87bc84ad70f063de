#!/usr/bin/env python3
"""Measures the repair over time against the spatial repair on clips that move: a still stretch, pans of
(5, 1) and (8, 2) luma samples a picture, an object moving over a still background, a scene cut, a
scrolling ticker; every clip with tools/repair_detail.py's static captions (with and without outline) and
thin lines over it, its sparkles (one picture each, a share of them on the lines and captions) and a
tape's luma noise (Gaussian, sigma 2). 4:2:2 Y4M, 8 pictures a clip.

  repair_motion.py --driver BIN [--args "--window 7 --threshold 18"] [--seed N]
      BIN is bench/filter_plane/repair_y4m_driver; each clip runs through BIN ARGS and BIN ARGS --temporal

Figures per clip and mode: sparkle samples within 4 of clean; caption and line samples (not hit) within 4
of clean; collateral, the clean background samples moved by more than 4. Sparkles are also counted in the
pictures that have both neighbours (the first and last have one, so the spatial rule decides there).
"""

import argparse
import os
import shlex
import subprocess
import tempfile

import numpy as np
import skimage.transform
from PIL import Image, ImageDraw, ImageFont

from repair_detail import (FONTS, HEIGHT, NEAR, WIDTH, background, draw_detail, read_y4m_chroma,
                           seed_sparkles, to_planes, write_y4m)
from yuy2_reference import rgb24_to_yuy2

PICTURES = 8
MARGIN = 80
TICKER_TOP = 544


def scene(name):
    """The background larger than a picture, so that a pan stays inside it."""
    big = skimage.transform.resize(background(name), (HEIGHT + MARGIN, WIDTH + MARGIN), order=1,
                                   preserve_range=True)
    return np.clip(np.rint(big), 0, 255).astype(np.uint8)


def clip_pictures(kind):
    """The clean RGB pictures of a clip, before its captions and lines."""
    if kind == "still":
        s = scene("astronaut")
        return [s[40:40 + HEIGHT, 40:40 + WIDTH] for _ in range(PICTURES)]
    if kind.startswith("pan"):
        dx, dy = (5, 1) if kind == "pan 5,1" else (8, 2)
        s = scene("coffee" if dx == 5 else "chelsea")
        return [s[4 + dy * t:4 + dy * t + HEIGHT, 4 + dx * t:4 + dx * t + WIDTH] for t in range(PICTURES)]
    if kind == "object":
        back, thing = scene("motorcycle")[40:40 + HEIGHT, 40:40 + WIDTH], scene("chelsea")[200:320, 200:360]
        out = []
        for t in range(PICTURES):
            p = back.copy()
            y, x = 150 + 2 * t, 100 + 6 * t
            p[y:y + 120, x:x + 160] = thing
            out.append(p)
        return out
    if kind == "cut":
        a, b = scene("coffee"), scene("astronaut")
        return [(a if t < PICTURES // 2 else b)[40:40 + HEIGHT, 40:40 + WIDTH] for t in range(PICTURES)]
    if kind == "ticker":
        s = scene("chelsea")[40:40 + HEIGHT, 40:40 + WIDTH]
        font = ImageFont.truetype(FONTS[0], 22)
        out = []
        for t in range(PICTURES):
            image = Image.fromarray(s.copy())
            draw = ImageDraw.Draw(image)
            draw.rectangle([0, TICKER_TOP, WIDTH - 1, TICKER_TOP + 28], fill=(20, 30, 110))
            draw.text((700 - 4 * t - 600, TICKER_TOP + 2), "Markets close higher +++ Weather: rain later +++",
                      font=font, fill=(250, 220, 40))
            out.append(np.asarray(image).copy())
        return out
    raise ValueError(kind)


def make_clip(kind, rng, path):
    frames, clean, sparkles = [], [], []
    detail_seed = int(rng.integers(1 << 30))
    for rgb in clip_pictures(kind):
        # The same captions and lines on every picture: a caption stays.
        drawn, line_px, caption_px, lines = draw_detail(rgb, np.random.default_rng(detail_seed))
        if kind == "ticker":
            drawn[TICKER_TOP:TICKER_TOP + 29] = rgb[TICKER_TOP:TICKER_TOP + 29]
            line_px[TICKER_TOP:], caption_px[TICKER_TOP:] = 0, False
        luma, u, v = to_planes(rgb24_to_yuy2(np.ascontiguousarray(drawn[..., ::-1])))
        luma = np.clip(np.rint(luma + rng.normal(0, 2.0, luma.shape)), 0, 255).astype(np.uint8)
        uv = np.stack([u, v], -1)
        caption_pairs = caption_px.reshape(HEIGHT, WIDTH // 2, 2).any(2)
        noisy_uv, mask, _ = seed_sparkles(uv, rng, lines, caption_pairs)
        frames.append((luma, noisy_uv[..., 0], noisy_uv[..., 1]))
        clean.append(uv)
        sparkles.append(mask)
        heights = np.repeat(line_px.reshape(HEIGHT, WIDTH // 2, 2).max(2)[..., None], 2, -1)
        captions = np.repeat(caption_pairs[..., None], 2, -1)
    write_y4m(path, frames)
    return np.stack(clean).astype(np.int32), np.stack(sparkles), heights > 0, captions


def share(good, where):
    n = int(where.sum())
    return f"{100 * good[where].sum() / n:6.2f} %" if n else "     -"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--args", default="--window 7 --threshold 18")
    parser.add_argument("--seed", type=int, default=33)
    args = parser.parse_args()
    rng = np.random.default_rng(args.seed)
    print(f"| clip | repair ({args.args}) | sparkles repaired | of them, pictures 2-{PICTURES - 1} | caption kept | "
          "lines kept | collateral |")
    print("|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as tmp:
        for kind in ["still", "pan 5,1", "pan 8,2", "object", "cut", "ticker"]:
            src, out = os.path.join(tmp, "in.y4m"), os.path.join(tmp, "out.y4m")
            clean, sparkles, lines, captions = make_clip(kind, rng, src)
            untouched = ~sparkles
            for mode in ["spatial", "over time"]:
                extra = shlex.split(args.args) + (["--temporal"] if mode == "over time" else [])
                subprocess.run([args.driver, *extra, src, out], check=True)
                near = np.abs(read_y4m_chroma(out, WIDTH, HEIGHT, PICTURES).astype(np.int32) - clean) <= NEAR
                line = lines[None] & untouched
                caption = captions[None] & untouched & ~lines[None]
                back = untouched & ~lines[None] & ~captions[None]
                print(f"| {kind} | {mode} | {share(near, sparkles)} | {share(near[1:-1], sparkles[1:-1])} | "
                      f"{share(near, caption)} | "
                      f"{share(near, line)} | {100 * (~near)[back].mean():.4f} % |", flush=True)


if __name__ == "__main__":
    main()
