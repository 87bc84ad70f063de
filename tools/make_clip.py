#!/usr/bin/env python3
"""Makes the main job's test clip from the photographs that scikit-image ships: a few shots, each a slow
pan over one photograph, cut one after the other, with seeded chroma sparkles as analogue TV shows them.

Writes into --out:
  clean.rgb24, clean.yuy2   the clip without noise (YUY2 made by the plug-in's own forward conversion)
  noisy.yuy2, noisy.rgb24   the same with sparkles
  impulses.npz              which chroma samples are sparkles: bool (frame, row, pair, U/V)
  clip.json                 size, frame count, seed, the shots and the realised noise density

Sparkles, as a disturbed colour subcarrier makes them: the decoder's colour goes wrong for a moment while
the picture's brightness stays. An event covers 1 to 3 rows and a run of 1 to 4 pixel pairs, in U, in
V or in both, with a strong random value per channel (at least 40 levels away from the true value).
The RGB clip carries the same events: at an affected pair each pixel keeps its clean luma and takes the
noisy U and V through the plug-in's inverse conversion; every other pixel keeps its clean bytes.
"""

import argparse
import contextlib
import json
import os

import numpy as np
import skimage.data
import skimage.transform

from yuy2_reference import chroma_planes, rgb24_to_yuy2, yuy2_to_rgb24

# Photograph, where the pan starts (fraction of the spare room, x and y) and its step per frame in pixels.
SHOTS = [
    ("astronaut", (0.0, 0.3), (3, 1)),
    ("coffee", (1.0, 0.5), (-3, 0)),
    ("chelsea", (0.3, 0.0), (2, 2)),
    ("motorcycle", (0.0, 1.0), (3, -1)),
]

EVENT_ROWS = ([1, 2, 3], [0.5, 0.3, 0.2])
EVENT_PAIRS = ([1, 2, 3, 4], [0.35, 0.3, 0.2, 0.15])
EVENT_CHANNELS = ([(0,), (1,), (0, 1)], [0.25, 0.25, 0.5])
MIN_IMPULSE_DISTANCE = 40


def load_photo(name):
    if name == "motorcycle":
        return skimage.data.stereo_motorcycle()[0]
    return getattr(skimage.data, name)()


def mean_size(choices):
    """Expected rows, pairs or channels of one event."""
    values, weights = choices
    return float(np.dot([len(v) if isinstance(v, tuple) else v for v in values], weights))


def shot_frames(name, start, step, frames, width, height):
    """Yields the shot's RGB frames (R, G, B order): windows of the photograph, scaled up just enough to
    hold the whole pan, moving by step pixels per frame."""
    photo = load_photo(name)
    travel_x, travel_y = abs(step[0]) * (frames - 1), abs(step[1]) * (frames - 1)
    scale = max((width + travel_x) / photo.shape[1], (height + travel_y) / photo.shape[0])
    scaled_size = (int(np.ceil(photo.shape[0] * scale)), int(np.ceil(photo.shape[1] * scale)))
    scaled = skimage.transform.resize(photo, scaled_size, order=1, preserve_range=True, anti_aliasing=False)
    scaled = np.clip(np.rint(scaled), 0, 255).astype(np.uint8)
    spare_x, spare_y = scaled.shape[1] - width, scaled.shape[0] - height
    x0 = int(start[0] * (spare_x - travel_x)) + (travel_x if step[0] < 0 else 0)
    y0 = int(start[1] * (spare_y - travel_y)) + (travel_y if step[1] < 0 else 0)
    for t in range(frames):
        x, y = x0 + step[0] * t, y0 + step[1] * t
        yield scaled[y:y + height, x:x + width]


def add_sparkles(clean_yuy2, rng, density):
    """Returns the noisy frame and the impulse mask (row, pair, U/V)."""
    noisy = clean_yuy2.copy()
    clean_uv = chroma_planes(clean_yuy2).astype(np.int32)
    noisy_uv = chroma_planes(noisy)
    rows, pairs, _ = clean_uv.shape
    mask = np.zeros(clean_uv.shape, bool)
    samples_per_event = mean_size(EVENT_ROWS) * mean_size(EVENT_PAIRS) * mean_size(EVENT_CHANNELS)
    for _ in range(rng.poisson(density * mask.size / samples_per_event)):
        height = rng.choice(EVENT_ROWS[0], p=EVENT_ROWS[1])
        run = rng.choice(EVENT_PAIRS[0], p=EVENT_PAIRS[1])
        channels = EVENT_CHANNELS[0][rng.choice(len(EVENT_CHANNELS[0]), p=EVENT_CHANNELS[1])]
        top, left = rng.integers(rows), rng.integers(pairs)
        area = np.s_[top:top + height, left:left + run]
        for c in channels:
            clean = clean_uv[area + (c,)]
            value = 128 + rng.choice([-1, 1]) * rng.integers(60, 128) + rng.integers(-6, 7, clean.shape)
            # A value too close to the true one would be no sparkle: mirror it to the other side of grey.
            value = np.where(np.abs(value - clean) < MIN_IMPULSE_DISTANCE, 256 - value, value)
            noisy_uv[area + (c,)] = np.clip(value, 0, 255)
            mask[area + (c,)] = True
    return noisy, mask


def sparkle_rgb(clean_bgr, noisy_yuy2, mask):
    """The clean RGB frame with the affected pairs replaced by their noisy colour at their clean luma."""
    height, width, _ = clean_bgr.shape
    noisy_bgr = clean_bgr.copy()
    hit = mask.any(axis=2)
    decoded = yuy2_to_rgb24(noisy_yuy2).reshape(height, width // 2, 2, 3)
    noisy_bgr.reshape(height, width // 2, 2, 3)[hit] = decoded[hit]
    return noisy_bgr


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", required=True)
    parser.add_argument("--size", default="720x576")
    parser.add_argument("--frames", type=int, default=48)
    parser.add_argument("--density", type=float, default=0.003, help="share of chroma samples hit")
    parser.add_argument("--seed", type=int, default=20240)
    args = parser.parse_args()
    width, height = map(int, args.size.split("x"))
    if width % 2 or width < 8:
        parser.error("the width must be even and at least 8")
    if args.frames < len(SHOTS):
        parser.error(f"at least {len(SHOTS)} frames, one per shot")

    os.makedirs(args.out, exist_ok=True)
    rng = np.random.default_rng(args.seed)
    masks, shots = [], []
    per_shot = [args.frames // len(SHOTS) + (i < args.frames % len(SHOTS)) for i in range(len(SHOTS))]
    with contextlib.ExitStack() as stack:
        files = {name: stack.enter_context(open(os.path.join(args.out, name), "wb"))
                 for name in ("clean.rgb24", "clean.yuy2", "noisy.yuy2", "noisy.rgb24")}
        for (name, start, step), frames in zip(SHOTS, per_shot):
            first = len(masks)
            shots.append({"photo": name, "first": first, "last": first + frames - 1, "pan": list(step)})
            for rgb in shot_frames(name, start, step, frames, width, height):
                clean_bgr = np.ascontiguousarray(rgb[..., ::-1])
                clean_yuy2 = rgb24_to_yuy2(clean_bgr)
                noisy_yuy2, mask = add_sparkles(clean_yuy2, rng, args.density)
                files["clean.rgb24"].write(clean_bgr.tobytes())
                files["clean.yuy2"].write(clean_yuy2.tobytes())
                files["noisy.yuy2"].write(noisy_yuy2.tobytes())
                files["noisy.rgb24"].write(sparkle_rgb(clean_bgr, noisy_yuy2, mask).tobytes())
                masks.append(mask)
    masks = np.stack(masks)
    np.savez_compressed(os.path.join(args.out, "impulses.npz"), mask=masks)
    info = {"width": width, "height": height, "frames": args.frames, "seed": args.seed,
            "density": args.density, "realised_density": float(masks.mean()), "shots": shots}
    with open(os.path.join(args.out, "clip.json"), "w") as f:
        json.dump(info, f, indent=1)
    print(f"clip: {args.frames} frames {width}x{height}, {len(shots)} shots "
          f"({', '.join(s['photo'] for s in shots)}), {int(masks.sum())} chroma samples hit "
          f"({100 * masks.mean():.2f} %), seed {args.seed}")


if __name__ == "__main__":
    main()
