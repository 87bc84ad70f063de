"""The plug-in's image operations written from their definitions in numpy, for whole frames.

make_clip.py uses the forward conversion so that the clean YUY2 clip is exactly what the plug-in sees
of the clean RGB clip; measure.py uses all three to check the DLL's output byte for byte and to
measure RGB streams in YUY2 terms.

Frames: YUY2 as uint8 (height, 2 * width), bytes Y0 U Y1 V per pixel pair; RGB as uint8
(height, width, 3) in the host's byte order B, G, R. Widths are even, so no pair crosses a row.
"""

import numpy as np


def rgb24_to_yuy2(bgr):
    height, width, _ = bgr.shape
    pairs = bgr.reshape(-1, 2, 3).astype(np.int32)
    b, g, r = pairs[..., 0], pairs[..., 1], pairs[..., 2]
    luma = (29 * b + 150 * g + 77 * r) >> 8
    # The pair's colour is the channel-wise average, rounded down; >> on int32 floors negative sums.
    b_mean, g_mean, r_mean = b.sum(1) >> 1, g.sum(1) >> 1, r.sum(1) >> 1
    out = np.empty((pairs.shape[0], 4), np.int32)
    out[:, 0] = luma[:, 0]
    out[:, 1] = ((128 * b_mean - 85 * g_mean - 43 * r_mean) >> 8) + 128
    out[:, 2] = luma[:, 1]
    out[:, 3] = ((128 * r_mean - 107 * g_mean - 21 * b_mean) >> 8) + 128
    return np.clip(out, 0, 255).astype(np.uint8).reshape(height, 2 * width)


def yuy2_to_rgb24(yuy2):
    height, row_bytes = yuy2.shape
    quads = yuy2.reshape(-1, 4).astype(np.int32)
    du, dv = quads[:, 1] - 128, quads[:, 3] - 128
    # Each term is floored on its own (12 fractional bits), as the plug-in rounds them.
    t_b = (7264 * du) >> 12
    t_g = ((-1376 * du) >> 12) + ((-2928 * dv) >> 12)
    t_r = (5744 * dv) >> 12
    luma = quads[:, [0, 2]]
    bgr = np.stack([luma + t_b[:, None], luma + t_g[:, None], luma + t_r[:, None]], axis=-1)
    return np.clip(bgr, 0, 255).astype(np.uint8).reshape(height, row_bytes // 2, 3)


def chroma_median(yuy2, count):
    """Every chroma byte of each full 8-pixel strip becomes the value at rank count // 2 of its column's
    rows r - (count - 1 - count // 2) ... r + count // 2, row numbers clamped to the frame; all other
    bytes are kept."""
    height, row_bytes = yuy2.shape
    strip_bytes = (row_bytes // 16) * 16
    below = count // 2
    above = count - 1 - below
    rows = np.clip(np.arange(height)[:, None] + np.arange(-above, below + 1)[None, :], 0, height - 1)
    windows = yuy2[:, 1:strip_bytes:2][rows]
    out = yuy2.copy()
    out[:, 1:strip_bytes:2] = np.partition(windows, below, axis=1)[:, below, :]
    return out


def chroma_planes(yuy2):
    """A view of the chroma bytes as (height, pairs, 2): [..., 0] is U, [..., 1] is V."""
    height, row_bytes = yuy2.shape
    return yuy2.reshape(height, row_bytes // 4, 2, 2)[..., 1]


def luma_plane(yuy2):
    return yuy2[:, 0::2]
