#!/usr/bin/env python3
"""Measures one run of a clip through the plug-in: what the filter repaired and what it harmed, and
whether the DLL's output equals the filter's definition byte for byte.

  measure.py --format yuy2|rgb24 --size WxH --window N[,N...] [--switch-every K] --input IN --output OUT
             [--host-log LOG | --ms-per-frame MS] [--threshold T] [--clean CLEAN --impulses impulses.npz]
             [--label TEXT] [--figures FILE]
  measure.py --summary FILE

With a clean reference it reports the share of impulses repaired, chroma PSNR before and after and
the collateral damage; without one, the share of chroma samples the filter changed. RGB streams are
measured in YUY2 terms through the plug-in's forward conversion, and as RGB by PSNR. Several windows
are the channels' settings when the host switched channel every K frames; 0 is filtering off.
--figures appends the run's figures as one JSON line; --summary prints those lines as a table.
Runs of uvdenoise (the same clip as 4:2:2 Y4M, turned back into YUY2) give their own time per frame with
--ms-per-frame, and --threshold T for its repair mode, whose output is not checked against the median.
"""

import argparse
import itertools
import json
import math
import re

import numpy as np

from clip_io import read_frames
from yuy2_reference import chroma_median, chroma_planes, luma_plane, rgb24_to_yuy2, yuy2_to_rgb24

VISIBLE_CHANGE = 4  # chroma levels; a change of at most this is not counted as damage or as a miss


def psnr(squared_error, samples):
    if squared_error == 0:
        return math.inf
    return 10 * math.log10(255.0 ** 2 * samples / squared_error)


class Totals:
    FIELDS = ("frames", "bytes", "differ_from_definition", "luma_samples", "luma_changed", "luma_max_change",
              "luma_changed_by_round_trip", "chroma_samples", "chroma_changed", "chroma_changed_visibly",
              "impulses", "repaired", "clean_samples", "collateral", "noisy_sq", "filtered_sq",
              "rgb_samples", "rgb_noisy_sq", "rgb_filtered_sq", "rgb_round_trip_sq")

    def __init__(self):
        for name in self.FIELDS:
            setattr(self, name, 0)


def squared_error(a, b):
    d = a.astype(np.int64) - b
    return int((d * d).sum())


def measure_frame(t, stream_format, window, noisy, filtered, clean, impulses, threshold=0):
    """Adds one frame's figures. RGB frames are checked as RGB and measured as the plug-in sees them; the
    repair mode (a threshold) has no definition here, so its bytes are not checked."""
    if threshold:
        expected = filtered
    elif window == 0:
        expected = noisy
    elif stream_format == "rgb24":
        expected = yuy2_to_rgb24(chroma_median(rgb24_to_yuy2(noisy), window))
    else:
        expected = chroma_median(noisy, window)
    t.frames += 1
    t.bytes += expected.size
    t.differ_from_definition += int(np.count_nonzero(expected != filtered))
    if stream_format == "rgb24":
        if clean is not None:
            add_rgb_errors(t, noisy, filtered, clean)
        noisy, filtered = rgb24_to_yuy2(noisy), rgb24_to_yuy2(filtered)
        clean = None if clean is None else rgb24_to_yuy2(clean)
        # RGB carries luma only implicitly: the conversion's rounding moves it even where nothing is filtered.
        round_trip = rgb24_to_yuy2(yuy2_to_rgb24(noisy))
        t.luma_changed_by_round_trip += int(np.count_nonzero(luma_plane(round_trip) != luma_plane(noisy)))
    add_luma_change(t, noisy, filtered)
    add_chroma_figures(t, noisy, filtered, clean, impulses)


def add_rgb_errors(t, noisy, filtered, clean):
    t.rgb_samples += clean.size
    t.rgb_noisy_sq += squared_error(noisy, clean)
    t.rgb_filtered_sq += squared_error(filtered, clean)
    t.rgb_round_trip_sq += squared_error(yuy2_to_rgb24(rgb24_to_yuy2(clean)), clean)


def add_luma_change(t, noisy, filtered):
    change = np.abs(luma_plane(filtered).astype(np.int16) - luma_plane(noisy))
    t.luma_samples += change.size
    t.luma_changed += int(np.count_nonzero(change))
    t.luma_max_change = max(t.luma_max_change, int(change.max()))


def add_chroma_figures(t, noisy, filtered, clean, impulses):
    noisy_uv, filtered_uv = chroma_planes(noisy).astype(np.int16), chroma_planes(filtered).astype(np.int16)
    change = np.abs(filtered_uv - noisy_uv)
    t.chroma_samples += change.size
    t.chroma_changed += int(np.count_nonzero(change))
    t.chroma_changed_visibly += int((change > VISIBLE_CHANGE).sum())
    if clean is None:
        return
    clean_uv = chroma_planes(clean)
    error = np.abs(filtered_uv - clean_uv)
    t.impulses += int(impulses.sum())
    t.repaired += int((error[impulses] <= VISIBLE_CHANGE).sum())
    t.clean_samples += int((~impulses).sum())
    t.collateral += int((error[~impulses] > VISIBLE_CHANGE).sum())
    t.noisy_sq += squared_error(noisy_uv, clean_uv)
    t.filtered_sq += squared_error(filtered_uv, clean_uv)


def host_timing(path):
    with open(path) as f:
        match = re.search(r"frames (\d+), ([0-9.]+) ms per frame", f.read())
    return (int(match.group(1)), float(match.group(2))) if match else (None, None)


def figures_of(t, args):
    f = {"label": args.label, "format": args.format, "window": args.window, "switch_every": args.switch_every,
         "frames": t.frames,
         "differ_from_definition": None if args.threshold else t.differ_from_definition, "bytes": t.bytes,
         "luma_changed": t.luma_changed, "luma_samples": t.luma_samples, "luma_max_change": t.luma_max_change,
         "luma_changed_by_round_trip": t.luma_changed_by_round_trip if args.format == "rgb24" else None,
         "chroma_changed_pct": 100 * t.chroma_changed / t.chroma_samples,
         "chroma_changed_visibly_pct": 100 * t.chroma_changed_visibly / t.chroma_samples}
    if args.host_log:
        f["host_frames"], f["ms_per_frame"] = host_timing(args.host_log)
    if args.ms_per_frame is not None:
        f["cli_ms_per_frame"] = args.ms_per_frame
    if t.impulses:
        f.update(impulses=t.impulses, repaired_pct=100 * t.repaired / t.impulses,
                 collateral_pct=100 * t.collateral / t.clean_samples,
                 chroma_psnr_noisy=psnr(t.noisy_sq, t.chroma_samples),
                 chroma_psnr_filtered=psnr(t.filtered_sq, t.chroma_samples))
    if t.rgb_samples:
        f.update(rgb_psnr_noisy=psnr(t.rgb_noisy_sq, t.rgb_samples),
                 rgb_psnr_filtered=psnr(t.rgb_filtered_sq, t.rgb_samples),
                 rgb_psnr_round_trip=psnr(t.rgb_round_trip_sq, t.rgb_samples))
    return f


def report(f):
    stream = "YUY2" if f["format"] == "yuy2" else "RGB24"
    windows = ", ".join(w if w != "0" else "off" for w in f["window"].split(","))
    if "," in f["window"]:
        windows = f"channels' windows {windows}, switching every {f['switch_every']} frames"
    else:
        windows = "window " + windows
    lines = [f"{f['label'] or stream + ' stream'}, {windows}: {f['frames']} frames"]
    if f.get("ms_per_frame") is not None:
        lines.append(f"  {f['ms_per_frame']:.3f} ms per frame in ProcessFrame (host's figure)")
        if f["host_frames"] != f["frames"]:
            lines.append(f"  WARNING: the host played {f['host_frames']} frames, the output holds {f['frames']}")
    if f.get("cli_ms_per_frame") is not None:
        lines.append(f"  {f['cli_ms_per_frame']:.3f} ms per frame, uvdenoise from file to file")
    if f["differ_from_definition"] is None:
        lines.append("  output against the median's definition: not checked (repair mode)")
    else:
        verdict = "yes" if f["differ_from_definition"] == 0 else "NO"
        lines.append(f"  output equals the filter's definition: {verdict} "
                     f"({f['differ_from_definition']} of {f['bytes']} bytes differ)")
    where = "" if f["format"] == "yuy2" else " (measured after converting to YUY2)"
    lines.append(f"  luma bytes changed{where}: {f['luma_changed']} of {f['luma_samples']}"
                 + (f", at most by {f['luma_max_change']}" if f["luma_changed"] else ""))
    if f["luma_changed_by_round_trip"] is not None:
        lines.append(f"    (the conversion round trip alone, unfiltered: {f['luma_changed_by_round_trip']})")
    if "impulses" in f:
        lines += [f"  chroma{where}:",
                  f"    impulses repaired (within {VISIBLE_CHANGE} of clean): {f['repaired_pct']:.2f} % of {f['impulses']}",
                  f"    chroma PSNR: noisy {f['chroma_psnr_noisy']:.2f} dB -> filtered {f['chroma_psnr_filtered']:.2f} dB",
                  f"    collateral: clean chroma samples changed by more than {VISIBLE_CHANGE}: {f['collateral_pct']:.3f} %"]
    else:
        lines.append(f"  chroma samples changed{where}: {f['chroma_changed_pct']:.3f} %, "
                     f"by more than {VISIBLE_CHANGE}: {f['chroma_changed_visibly_pct']:.3f} %")
    if "rgb_psnr_noisy" in f:
        lines.append(f"  RGB PSNR: noisy {f['rgb_psnr_noisy']:.2f} dB -> filtered {f['rgb_psnr_filtered']:.2f} dB "
                     f"(the conversion round trip alone: {f['rgb_psnr_round_trip']:.2f} dB)")
    return "\n".join(lines)


ROWS = [("ms per frame in ProcessFrame", "ms_per_frame", "{:.3f}"),
        ("ms per frame, uvdenoise file to file", "cli_ms_per_frame", "{:.3f}"),
        ("output = filter definition (bytes differing)", "differ_from_definition", "{}"),
        ("luma bytes changed", "luma_changed", "{}"),
        ("  by the RGB round trip alone", "luma_changed_by_round_trip", "{}"),
        ("impulses repaired, %", "repaired_pct", "{:.2f}"),
        ("chroma PSNR noisy, dB", "chroma_psnr_noisy", "{:.2f}"),
        ("chroma PSNR filtered, dB", "chroma_psnr_filtered", "{:.2f}"),
        ("collateral (clean chroma changed > 4), %", "collateral_pct", "{:.3f}"),
        ("chroma samples changed, %", "chroma_changed_pct", "{:.3f}"),
        ("RGB PSNR noisy, dB", "rgb_psnr_noisy", "{:.2f}"),
        ("RGB PSNR filtered, dB", "rgb_psnr_filtered", "{:.2f}"),
        ("RGB PSNR of the round trip alone, dB", "rgb_psnr_round_trip", "{:.2f}")]


def summary(path):
    with open(path) as f:
        runs = [json.loads(line) for line in f if line.strip()]
    heads = [r.get("label") or f"{'YUY2' if r['format'] == 'yuy2' else 'RGB24'} w{r['window']}" for r in runs]
    width = max(len(name) for name, _, _ in ROWS)
    columns = [max(12, len(h) + 2) for h in heads]  # a label longer than the figures keeps a gap
    out = [" " * width + "".join(f"{h:>{c}}" for h, c in zip(heads, columns))]
    for name, key, fmt in ROWS:
        if any(key in r and r[key] is not None for r in runs):
            cells = [fmt.format(r[key]) if r.get(key) is not None else "-" for r in runs]
            out.append(f"{name:<{width}}" + "".join(f"{c:>{w}}" for c, w in zip(cells, columns)))
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--summary")
    parser.add_argument("--format", choices=["yuy2", "rgb24"])
    parser.add_argument("--size")
    parser.add_argument("--window")
    parser.add_argument("--switch-every", type=int, default=0)
    parser.add_argument("--input")
    parser.add_argument("--output")
    parser.add_argument("--clean")
    parser.add_argument("--impulses")
    parser.add_argument("--host-log")
    parser.add_argument("--ms-per-frame", type=float)
    parser.add_argument("--threshold", type=int, default=0)
    parser.add_argument("--label", default="")
    parser.add_argument("--figures")
    args = parser.parse_args()
    if args.summary:
        print(summary(args.summary))
        return
    if not (args.format and args.size and args.window and args.input and args.output):
        parser.error("--format, --size, --window, --input and --output are needed")
    width, height = map(int, args.size.split("x"))
    masks = np.load(args.impulses)["mask"] if args.impulses else None

    windows = [int(w) for w in args.window.split(",")]
    t = Totals()
    cleans = (frame for _, frame in read_frames(args.clean, args.format, width, height)) if args.clean \
        else itertools.repeat(None)
    frames = zip(read_frames(args.input, args.format, width, height),
                 read_frames(args.output, args.format, width, height), cleans)
    for (index, noisy), (_, filtered), clean in frames:
        window = windows[(index // args.switch_every) % len(windows)] if args.switch_every else windows[0]
        measure_frame(t, args.format, window, noisy, filtered, clean, None if masks is None else masks[index],
                      args.threshold)
    f = figures_of(t, args)
    print(report(f))
    if args.figures:
        with open(args.figures, "a") as out:
            out.write(json.dumps(f) + "\n")


if __name__ == "__main__":
    main()
