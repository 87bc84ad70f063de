#!/usr/bin/env python3
"""Turns a user's clip into a stream the test host plays: a Y4M file from ffmpeg becomes YUY2; raw
yuyv422 (YUY2) or bgr24 (the host's RGB24) is taken as it is. At most --frames frames are kept.

  import_clip.py --input CLIP.y4m --out DIR [--frames N]
  import_clip.py --input CLIP.raw --format yuyv422|bgr24 --size WxH --out DIR [--frames N]

Writes DIR/input.yuy2 or DIR/input.rgb24 and DIR/clip.json (format, width, height, frames).
"""

import argparse
import json
import os
import sys

from clip_io import Y4M_COLOUR_SPACES, Y4mError, frame_bytes, y4m_to_yuy2

RAW_FORMATS = {"yuyv422": "yuy2", "bgr24": "rgb24"}
# The plug-in filters frames at least one 8-pixel strip wide and taller than half the largest window.
MIN_WIDTH, MIN_HEIGHT = 8, 16


def copy_raw(src_path, dst_path, stream_format, width, height, max_frames):
    size = frame_bytes(stream_format, width, height)
    total = os.path.getsize(src_path) // size
    kept = min(total, max_frames)
    with open(src_path, "rb") as src, open(dst_path, "wb") as dst:
        for _ in range(kept):
            dst.write(src.read(size))
    return kept, total


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--input", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--format", choices=sorted(RAW_FORMATS))
    parser.add_argument("--size")
    parser.add_argument("--frames", type=int, default=100)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    if args.format is None:
        if not args.input.lower().endswith(".y4m"):
            parser.error("a raw clip needs --format yuyv422|bgr24 and --size WxH")
        stream_format = "yuy2"
        try:
            width, height, kept, total, colour = y4m_to_yuy2(
                args.input, os.path.join(args.out, "input.yuy2"), args.frames)
        except Y4mError as e:
            sys.exit(f"import_clip: {args.input}: {e} (read: {', '.join('C' + c for c in Y4M_COLOUR_SPACES)})")
        source = f"Y4M C{colour}"
    else:
        if not args.size:
            parser.error("a raw clip needs --size WxH")
        stream_format = RAW_FORMATS[args.format]
        width, height = map(int, args.size.lower().split("x"))
        if width % 2:
            sys.exit("import_clip: a raw clip needs an even width")
        kept, total = copy_raw(args.input, os.path.join(args.out, "input." + stream_format),
                               stream_format, width, height, args.frames)
        source = f"raw {args.format}"

    if width < MIN_WIDTH or height < MIN_HEIGHT:
        sys.exit(f"import_clip: {width}x{height} is too small: at least {MIN_WIDTH}x{MIN_HEIGHT}")
    if kept == 0:
        sys.exit(f"import_clip: {args.input} holds no whole frame of {width}x{height}")
    with open(os.path.join(args.out, "clip.json"), "w") as f:
        json.dump({"format": stream_format, "width": width, "height": height, "frames": kept}, f)
    print(f"clip: {args.input} ({source}), {width}x{height}, {kept} of {total} frames, "
          f"played as {'a YUY2' if stream_format == 'yuy2' else 'an RGB24'} stream")


if __name__ == "__main__":
    main()
