#!/usr/bin/env python3
"""Measures what uvdenoise's repair mode does to real thin colour detail and to sparkles beside and across
it: photographs (and ffmpeg's testsrc2) with thin coloured lines and coloured captions drawn over them,
sparkles seeded beside, across and away from them, as 4:2:2 Y4M.

  repair_detail.py make --out DIR [--seed N]
      DIR/noisy.y4m, DIR/truth.npz (clean chroma, sparkle mask, line heights, caption mask)
  repair_detail.py measure --clips DIR --uvdenoise BIN [--args "--window 7 --threshold 18"]
      runs BIN on DIR/noisy.y4m and prints the figures
  repair_detail.py main --clip DIR --uvdenoise BIN [--args ...]
      the main job's clip (tools/make_clip.py --out DIR) as 4:2:2 Y4M through BIN, measured as
      measure.py measures it
  repair_detail.py picture --clips DIR --before BIN --after BIN --frame N --crop X,Y,W,H --out PNG
      four panels of one enlarged crop: clean, noisy, BIN --before's output and BIN --after's (two builds
      of uvdenoise, the rule before and after a change)

Figures: thin lines' chroma samples within 4 of clean, by line height (1, 2, 3 rows) and background;
caption chroma samples within 4 of clean; sparkle samples within 4 of clean, by kind (short events,
streaks of 5 to 24 samples, those lying on lines or captions); collateral (clean samples of the background
moved by more than 4) and chroma PSNR. Samples hit by a sparkle count only as sparkles.
"""

import argparse
import os
import shlex
import subprocess
import sys
import tempfile

import numpy as np
import skimage.data
import skimage.transform
from PIL import Image, ImageDraw, ImageFont

from clip_io import read_frames, write_png
from yuy2_reference import chroma_planes, luma_plane, rgb24_to_yuy2, yuy2_to_rgb24

WIDTH, HEIGHT = 720, 576
NEAR = 4
BACKGROUNDS = ["astronaut", "coffee", "chelsea", "motorcycle", "testsrc2"]
COLOURS = [(230, 30, 30), (30, 200, 40), (40, 60, 230), (240, 220, 30), (30, 210, 220), (220, 40, 210),
           (250, 140, 20), (120, 20, 20)]
FONTS = ["/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"]
WORDS = ["Evening News", "WEATHER 18:45", "Live: Final", "Interview", "Breaking", "Sport EXTRA"]


def background(name):
    if name == "testsrc2":
        raw = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                              f"testsrc2=size={WIDTH}x{HEIGHT}:rate=25", "-frames:v", "1", "-f", "rawvideo",
                              "-pix_fmt", "rgb24", "-"], check=True, capture_output=True).stdout
        return np.frombuffer(raw, np.uint8).reshape(HEIGHT, WIDTH, 3).copy()
    photo = skimage.data.stereo_motorcycle()[0] if name == "motorcycle" else getattr(skimage.data, name)()
    scaled = skimage.transform.resize(photo[..., :3], (HEIGHT, WIDTH), order=1, preserve_range=True,
                                      anti_aliasing=True)
    return np.clip(np.rint(scaled), 0, 255).astype(np.uint8)


def draw_detail(rgb, rng):
    """Draws lines and captions; returns the picture and per-pixel labels: line height (1..3), caption."""
    image = Image.fromarray(rgb)
    draw = ImageDraw.Draw(image)
    heights = np.zeros((HEIGHT, WIDTH), np.uint8)
    lines = []
    # Horizontal lines in bands, so that they never touch each other or the captions.
    y = 20
    while y < 330:
        rows = int(rng.integers(1, 4))
        length = int(rng.choice([20, 40, 80, 160, 320]))
        x0 = int(rng.integers(8, WIDTH - 2 * length - 8)) if 2 * length < WIDTH - 16 else 8
        colour = COLOURS[int(rng.integers(len(COLOURS)))]
        x1 = min(WIDTH - 8, x0 + 2 * length)
        draw.rectangle([x0, y, x1 - 1, y + rows - 1], fill=colour)
        heights[y:y + rows, x0:x1] = rows
        lines.append((y, rows, x0 // 2, (x1 + 1) // 2))
        y += rows + int(rng.integers(10, 18))
    # A few shallow slanted lines, one pixel row per column stretch.
    for _ in range(2):
        rows = int(rng.integers(1, 4))
        x0, ya = int(rng.integers(8, 200)), int(rng.integers(y, y + 10))
        x1, yb = x0 + int(rng.integers(200, 480)), ya + int(rng.integers(4, 12))
        colour = COLOURS[int(rng.integers(len(COLOURS)))]
        mark = Image.new("L", (WIDTH, HEIGHT))
        ImageDraw.Draw(mark).line([x0, ya, x1, yb], fill=255, width=rows)
        draw.line([x0, ya, x1, yb], fill=colour, width=rows)
        heights[np.asarray(mark) > 0] = rows
        y = yb + 16
    # Captions: coloured text, with and without a black outline, some on a dark box.
    caption = np.zeros((HEIGHT, WIDTH), bool)
    y = max(y, 380)
    for i in range(4):
        size = int(rng.choice([14, 18, 22, 28]))
        font = ImageFont.truetype(FONTS[i // 2 % 2], size)
        word = WORDS[int(rng.integers(len(WORDS)))]
        colour = COLOURS[int(rng.integers(len(COLOURS)))]
        outline = i % 2
        x = int(rng.integers(10, 200))
        mark = Image.new("L", (WIDTH, HEIGHT))
        # The fill only: an outline is black, no colour to keep.
        ImageDraw.Draw(mark).text((x, y), word, font=font, fill=255)
        draw.text((x, y), word, font=font, fill=colour, stroke_width=2 * outline, stroke_fill=(0, 0, 0))
        caption |= np.asarray(mark) > 0
        y += size + 14
        if y > HEIGHT - 40:
            break
    return np.asarray(image).copy(), heights, caption, lines


def sparkle_value(rng, clean):
    value = 128 + rng.choice([-1, 1]) * rng.integers(60, 128) + rng.integers(-6, 7, clean.shape)
    value = np.where(np.abs(value - clean) < 40, 256 - value, value)
    return np.clip(value, 0, 255)


def seed_sparkles(uv, rng, lines, caption_pairs):
    """Short events (1-3 rows, 1-4 samples, 0.3 % of samples) everywhere; streaks (1-2 rows, 5-24
    samples) beside and across lines, on captions and anywhere. Returns the noisy planes, the mask and the
    mask of streaks."""
    noisy = uv.copy()
    rows, pairs, _ = uv.shape
    mask = np.zeros(uv.shape, bool)
    streak = np.zeros(uv.shape, bool)

    def hit(top, left, height, run, is_streak):
        area = np.s_[top:top + height, left:left + run]
        for c in [(0,), (1,), (0, 1)][int(rng.integers(3))]:
            noisy[area + (c,)] = sparkle_value(rng, uv[area + (c,)].astype(np.int32))
            mask[area + (c,)] = True
            if is_streak:
                streak[area + (c,)] = True

    for _ in range(rng.poisson(0.003 * mask.size / (1.7 * 2.15 * 1.5))):
        hit(int(rng.integers(rows)), int(rng.integers(pairs)), int(rng.choice([1, 2, 3], p=[0.5, 0.3, 0.2])),
            int(rng.choice([1, 2, 3, 4], p=[0.35, 0.3, 0.2, 0.15])), False)
    for y, height, left, right in lines:
        for _ in range(2):
            run, high = int(rng.integers(5, 25)), int(rng.integers(1, 3))
            x = int(rng.integers(max(0, left - run // 2), max(left + 1, right - run // 2)))
            where = int(rng.integers(3))
            top = [y - high, y + height, y + int(rng.integers(height))][where]  # above, below, across
            hit(top, x, high, run, True)
    ys, xs = np.nonzero(caption_pairs)
    for i in rng.integers(len(ys), size=12):
        hit(int(ys[i]), int(xs[i]), int(rng.integers(1, 3)), int(rng.integers(1, 25)), True)
    for _ in range(30):
        hit(int(rng.integers(rows - 2)), int(rng.integers(pairs - 24)), int(rng.integers(1, 3)),
            int(rng.integers(5, 25)), True)
    return noisy, mask, streak


def to_planes(yuy2):
    uv = chroma_planes(yuy2)
    return luma_plane(yuy2), uv[..., 0], uv[..., 1]


def write_y4m(path, frames):
    with open(path, "wb") as f:
        f.write(f"YUV4MPEG2 W{WIDTH} H{HEIGHT} F25:1 Ip A1:1 C422\n".encode())
        for luma, u, v in frames:
            f.write(b"FRAME\n")
            for plane in (luma, u, v):
                f.write(np.ascontiguousarray(plane).tobytes())


def read_y4m_chroma(path, width, height, frames):
    """The U and V planes of a 4:2:2 Y4M file as (frames, height, width / 2, 2)."""
    data = open(path, "rb").read()
    pos = data.index(b"\n") + 1
    out = np.empty((frames, height, width // 2, 2), np.uint8)
    plane = height * width // 2
    for t in range(frames):
        pos = data.index(b"\n", pos) + 1 + width * height
        out[t, ..., 0] = np.frombuffer(data, np.uint8, plane, pos).reshape(height, width // 2)
        out[t, ..., 1] = np.frombuffer(data, np.uint8, plane, pos + plane).reshape(height, width // 2)
        pos += 2 * plane
    return out


def make(args):
    os.makedirs(args.out, exist_ok=True)
    rng = np.random.default_rng(args.seed)
    frames, clean, noisy, sparkles, streaks, heights, captions, names = [], [], [], [], [], [], [], []
    for name in BACKGROUNDS:
        for _ in range(args.per_background):
            rgb, line_px, caption_px, lines = draw_detail(background(name), rng)
            yuy2 = rgb24_to_yuy2(np.ascontiguousarray(rgb[..., ::-1]))
            luma, u, v = to_planes(yuy2)
            uv = np.stack([u, v], -1)
            caption_pairs = caption_px.reshape(HEIGHT, WIDTH // 2, 2).any(2)
            noisy_uv, mask, streak = seed_sparkles(uv, rng, lines, caption_pairs)
            frames.append((luma, noisy_uv[..., 0], noisy_uv[..., 1]))
            clean.append(uv)
            noisy.append(noisy_uv)
            sparkles.append(mask)
            streaks.append(streak)
            heights.append(line_px.reshape(HEIGHT, WIDTH // 2, 2).max(2))
            captions.append(caption_pairs)
            names.append(name)
    write_y4m(os.path.join(args.out, "noisy.y4m"), frames)
    np.savez_compressed(os.path.join(args.out, "truth.npz"), clean=np.stack(clean), noisy=np.stack(noisy),
                        sparkles=np.stack(sparkles), streaks=np.stack(streaks), heights=np.stack(heights),
                        captions=np.stack(captions), names=np.array(names))
    print(f"{len(frames)} frames into {args.out}: {int(np.stack(sparkles).sum())} sparkle samples")


def share(good, where):
    n = int(where.sum())
    return f"{100 * good[where].sum() / n:6.2f} % of {n:6d}" if n else "   -"


def psnr(error, where):
    sq = float((error[where].astype(np.float64) ** 2).sum())
    return 10 * np.log10(255.0 ** 2 * where.sum() / sq) if sq else float("inf")


def run(uvdenoise, extra, src, frames, width, height):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.y4m")
        subprocess.run([uvdenoise, "--quiet", "-y", *shlex.split(extra), src, out], check=True)
        return read_y4m_chroma(out, width, height, frames)


def measure(args):
    truth = np.load(os.path.join(args.clips, "truth.npz"))
    clean, sparkles, streaks = truth["clean"].astype(np.int32), truth["sparkles"], truth["streaks"]
    out = run(args.uvdenoise, args.args, os.path.join(args.clips, "noisy.y4m"), len(clean), WIDTH, HEIGHT)
    error = np.abs(out.astype(np.int32) - clean)
    near = error <= NEAR
    heights = np.repeat(truth["heights"][..., None], 2, -1)
    captions = np.repeat(truth["captions"][..., None], 2, -1)
    names = truth["names"]
    textured = np.array([n != "testsrc2" for n in names])[:, None, None, None]
    untouched = ~sparkles
    print(f"uvdenoise {args.args}")
    for rows in (1, 2, 3):
        line = (heights == rows) & untouched
        print(f"  lines of {rows} row(s) within {NEAR}: photos {share(near, line & textured)}, "
              f"testsrc2 {share(near, line & ~textured)}")
    line = (heights > 0) & untouched
    print(f"  lines, all:           {share(near, line)}")
    print(f"  caption colour kept:  {share(near, captions & untouched & ~(heights > 0))}")
    detail = (heights > 0) | captions
    print(f"  sparkles repaired:    {share(near, sparkles)}")
    print(f"    short events:       {share(near, sparkles & ~streaks)}")
    beside = np.zeros_like(detail)
    for shift in range(-3, 4):
        beside |= np.roll(detail, shift, axis=1)
    print(f"    streaks 5-24:       {share(near, streaks & ~beside)} (3 rows or more from detail)")
    print(f"    streaks beside:     {share(near, streaks & beside & ~detail)}")
    print(f"    on lines, captions: {share(near, sparkles & detail)}")
    background = untouched & ~detail
    print(f"  collateral (background moved > {NEAR}): {100 * (~near)[background].mean():.3f} %")
    print(f"  chroma PSNR: {psnr(error, np.ones_like(near)):.2f} dB "
          f"(noisy {psnr(np.abs(truth['noisy'].astype(np.int32) - clean), np.ones_like(near)):.2f})")


def main_clip(args):
    import json
    info = json.load(open(os.path.join(args.clip, "clip.json")))
    width, height, count = info["width"], info["height"], info["frames"]
    impulses = np.load(os.path.join(args.clip, "impulses.npz"))["mask"]
    clean = np.stack([chroma_planes(f) for _, f in read_frames(os.path.join(args.clip, "clean.yuy2"), "yuy2",
                                                                width, height)]).astype(np.int32)
    y4m = os.path.join(args.clip, "noisy-422.y4m")
    if not os.path.exists(y4m):
        with open(y4m, "wb") as f:
            f.write(f"YUV4MPEG2 W{width} H{height} F25:1 Ip A1:1 C422\n".encode())
            for _, frame in read_frames(os.path.join(args.clip, "noisy.yuy2"), "yuy2", width, height):
                luma, u, v = to_planes(frame)
                f.write(b"FRAME\n" + np.ascontiguousarray(luma).tobytes() + np.ascontiguousarray(u).tobytes()
                        + np.ascontiguousarray(v).tobytes())
    out = run(args.uvdenoise, args.args, y4m, count, width, height)
    error = np.abs(out.astype(np.int32) - clean)
    print(f"main job's clip, uvdenoise {args.args}: repaired {100 * (error[impulses] <= NEAR).mean():.2f} %, "
          f"collateral {100 * (error[~impulses] > NEAR).mean():.3f} %, "
          f"chroma PSNR {psnr(error, np.ones_like(impulses)):.2f} dB")


def picture(args):
    truth = np.load(os.path.join(args.clips, "truth.npz"))
    src = os.path.join(args.clips, "noisy.y4m")
    frames = len(truth["clean"])
    data = open(src, "rb").read()
    pos = data.index(b"\n") + 1
    for _ in range(args.frame + 1):
        pos = data.index(b"\n", pos) + 1
        luma = np.frombuffer(data, np.uint8, WIDTH * HEIGHT, pos).reshape(HEIGHT, WIDTH)
        pos += 2 * WIDTH * HEIGHT
    x, y, w, h = map(int, args.crop.split(","))
    panels = []
    for uv in (truth["clean"][args.frame], truth["noisy"][args.frame],
               run(args.before, args.args, src, frames, WIDTH, HEIGHT)[args.frame],
               run(args.after, args.args, src, frames, WIDTH, HEIGHT)[args.frame]):
        yuy2 = np.empty((HEIGHT, 2 * WIDTH), np.uint8)
        yuy2[:, 0::2] = luma
        yuy2.reshape(HEIGHT, WIDTH // 2, 2, 2)[..., 1] = uv
        rgb = yuy2_to_rgb24(yuy2)[y:y + h, x:x + w, ::-1]
        panels.append(np.repeat(np.repeat(rgb, args.zoom, 0), args.zoom, 1))
    gap = np.full((h * args.zoom, 4, 3), 255, np.uint8)
    top, bottom = np.hstack([panels[0], gap, panels[1]]), np.hstack([panels[2], gap, panels[3]])
    write_png(args.out, np.vstack([top, np.full((4, top.shape[1], 3), 255, np.uint8), bottom]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("make")
    p.add_argument("--out", required=True)
    p.add_argument("--seed", type=int, default=26)
    p.add_argument("--per-background", type=int, default=2)
    for name in ("measure", "main"):
        p = sub.add_parser(name)
        p.add_argument("--clips" if name == "measure" else "--clip", required=True)
        p.add_argument("--uvdenoise", required=True)
        p.add_argument("--args", default="--window 7 --threshold 18")
    p = sub.add_parser("picture")
    p.add_argument("--clips", required=True)
    p.add_argument("--before", required=True)
    p.add_argument("--after", required=True)
    p.add_argument("--frame", type=int, required=True)
    p.add_argument("--crop", required=True, help="X,Y,W,H in pixels")
    p.add_argument("--zoom", type=int, default=3)
    p.add_argument("--out", required=True)
    p.add_argument("--args", default="--window 7 --threshold 18")
    args = parser.parse_args()
    {"make": make, "measure": measure, "main": main_clip, "picture": picture}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
