"""Clip files of the main job: raw frame streams as the test host plays them, Y4M input, PNG output."""

import struct
import zlib

import numpy as np

# Stream formats by the test host's names; bytes per pixel.
BYTES_PER_PIXEL = {"yuy2": 2, "rgb24": 3}


def frame_shape(stream_format, width, height):
    return (height, 2 * width) if stream_format == "yuy2" else (height, width, 3)


def frame_bytes(stream_format, width, height):
    return width * height * BYTES_PER_PIXEL[stream_format]


def count_frames(path, stream_format, width, height):
    with open(path, "rb") as f:
        f.seek(0, 2)
        return f.tell() // frame_bytes(stream_format, width, height)


def read_frames(path, stream_format, width, height, indices=None):
    """Yields (index, frame) for every whole frame, or for the given frame indices only."""
    size = frame_bytes(stream_format, width, height)
    shape = frame_shape(stream_format, width, height)
    total = count_frames(path, stream_format, width, height)
    wanted = range(total) if indices is None else [i for i in indices if 0 <= i < total]
    with open(path, "rb") as f:
        for i in wanted:
            f.seek(i * size)
            yield i, np.frombuffer(f.read(size), np.uint8).reshape(shape)


# Y4M colour spaces read: 8-bit planar 4:2:0 (every chroma siting), 4:2:2, 4:4:4 and grey.
Y4M_COLOUR_SPACES = ("420jpeg", "420paldv", "420mpeg2", "420", "422", "444", "mono")


class Y4mError(ValueError):
    pass


def _y4m_header(f):
    line = f.readline()
    if not line.startswith(b"YUV4MPEG2 ") or not line.endswith(b"\n"):
        raise Y4mError("not a YUV4MPEG2 file")
    fields = {}
    for token in line[10:].split():
        fields.setdefault(chr(token[0]), token[1:].decode("ascii"))
    if "W" not in fields or "H" not in fields:
        raise Y4mError("the header gives no frame size")
    colour = fields.get("C", "420jpeg")
    if colour not in Y4M_COLOUR_SPACES:
        raise Y4mError(f"colour space C{colour} is not read; use one of: "
                       + ", ".join("C" + c for c in Y4M_COLOUR_SPACES))
    return int(fields["W"]), int(fields["H"]), colour


def _chroma_size(colour, width, height):
    if colour == "mono":
        return 0, 0
    if colour == "444":
        return width, height
    if colour == "422":
        return (width + 1) // 2, height
    return (width + 1) // 2, (height + 1) // 2


def _to_yuy2(luma, u, v, colour, width, height):
    """Packs planes into YUY2 of the even width: 4:2:0 chroma rows serve the two luma rows they cover
    (repeated, not interpolated, so no chroma value is invented); 4:4:4 chroma is averaged over each
    pixel pair as the plug-in averages RGB pairs; grey gets neutral chroma."""
    pairs = width // 2
    if colour == "mono":
        u = v = np.full((height, pairs), 128, np.uint8)
    elif colour == "444":
        u, v = [((p[:, 0:2 * pairs:2].astype(np.uint16) + p[:, 1:2 * pairs:2]) >> 1).astype(np.uint8)
                for p in (u, v)]
    else:
        rows = np.arange(height) * u.shape[0] // height
        u, v = u[rows, :pairs], v[rows, :pairs]
    yuy2 = np.empty((height, 4 * pairs), np.uint8)
    yuy2[:, 0::4] = luma[:, 0:2 * pairs:2]
    yuy2[:, 1::4] = u
    yuy2[:, 2::4] = luma[:, 1:2 * pairs:2]
    yuy2[:, 3::4] = v
    return yuy2


def y4m_to_yuy2(src_path, dst_path, max_frames):
    """Writes up to max_frames frames as a YUY2 stream; an odd last column is dropped (YUY2 needs an
    even width). Returns (width, height, frames written, frames in the file, colour space)."""
    with open(src_path, "rb") as src, open(dst_path, "wb") as dst:
        width, height, colour = _y4m_header(src)
        chroma_w, chroma_h = _chroma_size(colour, width, height)
        luma_bytes, chroma_bytes = width * height, chroma_w * chroma_h
        written = seen = 0
        while True:
            marker = src.readline()
            if not marker:
                break
            if not marker.startswith(b"FRAME"):
                raise Y4mError(f"frame {seen}: no FRAME marker")
            data = src.read(luma_bytes + 2 * chroma_bytes)
            if len(data) < luma_bytes + 2 * chroma_bytes:
                break
            seen += 1
            if written >= max_frames:
                continue
            planes = np.frombuffer(data, np.uint8)
            luma = planes[:luma_bytes].reshape(height, width)
            u = planes[luma_bytes:luma_bytes + chroma_bytes].reshape(chroma_h, chroma_w)
            v = planes[luma_bytes + chroma_bytes:].reshape(chroma_h, chroma_w)
            dst.write(_to_yuy2(luma, u, v, colour, width, height).tobytes())
            written += 1
    return width - width % 2, height, written, seen, colour


def write_png(path, rgb):
    """rgb: uint8 (height, width, 3) in R, G, B order. Each row is stored as its difference from the
    row above (PNG filter 2), which packs enlarged pictures and photographs well."""
    height, width, _ = rgb.shape
    rows = rgb.reshape(height, width * 3)
    up = np.empty_like(rows)
    up[0] = rows[0]
    up[1:] = rows[1:] - rows[:-1]
    scanlines = np.hstack([np.full((height, 1), 2, np.uint8), up]).tobytes()

    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(scanlines, 6)))
        f.write(chunk(b"IEND", b""))
