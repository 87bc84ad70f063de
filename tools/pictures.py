#!/usr/bin/env python3
"""Before/after pictures of a run: for each chosen frame, the input and the plug-in's output side by
side (input left, output right), as the whole frame and as an enlarged crop of the area where the
filter changed the colour most.

  pictures.py --format yuy2|rgb24 --size WxH --input IN --output OUT --frames 6,18,... --out-dir DIR
              [--prefix NAME] [--crop WxH] [--zoom N]

YUY2 frames are shown through the plug-in's own inverse conversion.
"""

import argparse
import os

import numpy as np

from clip_io import read_frames, write_png
from yuy2_reference import chroma_planes, yuy2_to_rgb24

GAP = 6
GAP_GREY = 128


def displayable(frame, stream_format):
    bgr = yuy2_to_rgb24(frame) if stream_format == "yuy2" else frame
    return bgr[..., ::-1]


def chroma_change(before, after, stream_format):
    """Per pixel, how far the colour moved: YUY2 chroma change, or the RGB change for RGB frames."""
    if stream_format == "yuy2":
        change = np.abs(chroma_planes(after).astype(np.int16) - chroma_planes(before)).sum(axis=2)
        return np.repeat(change, 2, axis=1)
    return np.abs(after.astype(np.int16) - before).sum(axis=2)


def busiest_window(change, crop_w, crop_h, step=8):
    """Top-left corner of the crop_w x crop_h window holding the most change, on a grid of step pixels."""
    height, width = change.shape
    crop_w, crop_h = min(crop_w, width), min(crop_h, height)
    sums = np.zeros((height + 1, width + 1), np.int64)
    sums[1:, 1:] = change.cumsum(0).cumsum(1)
    ys = np.arange(0, height - crop_h + 1, step)
    xs = np.arange(0, width - crop_w + 1, step)
    box = (sums[ys[:, None] + crop_h, xs[None, :] + crop_w] - sums[ys[:, None], xs[None, :] + crop_w]
           - sums[ys[:, None] + crop_h, xs[None, :]] + sums[ys[:, None], xs[None, :]])
    best_y, best_x = np.unravel_index(np.argmax(box), box.shape)
    return xs[best_x], ys[best_y], crop_w, crop_h


def side_by_side(left, right):
    gap = np.full((left.shape[0], GAP, 3), GAP_GREY, np.uint8)
    return np.hstack([left, gap, right])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--format", choices=["yuy2", "rgb24"], required=True)
    parser.add_argument("--size", required=True)
    parser.add_argument("--input", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--frames", required=True, help="comma-separated frame indices")
    parser.add_argument("--out-dir", required=True)
    parser.add_argument("--prefix", default="frame")
    parser.add_argument("--crop", default="240x160")
    parser.add_argument("--zoom", type=int, default=3)
    args = parser.parse_args()
    width, height = map(int, args.size.split("x"))
    crop_w, crop_h = map(int, args.crop.split("x"))
    indices = sorted({int(i) for i in args.frames.split(",")})
    os.makedirs(args.out_dir, exist_ok=True)

    pairs = zip(read_frames(args.input, args.format, width, height, indices),
                read_frames(args.output, args.format, width, height, indices))
    for (index, before), (_, after) in pairs:
        x, y, w, h = busiest_window(chroma_change(before, after, args.format), crop_w, crop_h)
        left, right = displayable(before, args.format), displayable(after, args.format)
        stem = os.path.join(args.out_dir, f"{args.prefix}-{index:03d}")
        write_png(stem + "-full.png", side_by_side(left, right))
        crops = [np.repeat(np.repeat(p[y:y + h, x:x + w], args.zoom, 0), args.zoom, 1) for p in (left, right)]
        write_png(stem + "-crop.png", side_by_side(*crops))
        print(f"  {stem}-full.png, {stem}-crop.png (crop at {x},{y}, {w}x{h}, x{args.zoom})")


if __name__ == "__main__":
    main()
