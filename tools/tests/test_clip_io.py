"""Y4M import, raw frame reading and the PNG writer, on small hand-made files."""

import os
import tempfile
import unittest

from skimage.io import imread
import numpy as np

from clip_io import Y4mError, read_frames, write_png, y4m_to_yuy2


def y4m_bytes(header, frames):
    return header + b"".join(b"FRAME\n" + bytes(f) for f in frames)


class Files(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def convert(self, data, max_frames=10):
        with open(self.path("in.y4m"), "wb") as f:
            f.write(data)
        result = y4m_to_yuy2(self.path("in.y4m"), self.path("out.yuy2"), max_frames)
        with open(self.path("out.yuy2"), "rb") as f:
            return result, list(f.read())


class Y4mImport(Files):
    def test_420_repeats_each_chroma_row_for_two_luma_rows(self):
        luma = list(range(16))                  # 4x4
        u, v = [100, 101, 102, 103], [200, 201, 202, 203]   # 2x2 each
        (w, h, written, seen, colour), out = self.convert(
            y4m_bytes(b"YUV4MPEG2 W4 H4 F25:1 Ip A1:1 C420jpeg XYSCSS=420JPEG\n", [luma + u + v]))
        self.assertEqual((w, h, written, seen, colour), (4, 4, 1, 1, "420jpeg"))
        self.assertEqual(out, [0, 100, 1, 200, 2, 101, 3, 201,
                               4, 100, 5, 200, 6, 101, 7, 201,
                               8, 102, 9, 202, 10, 103, 11, 203,
                               12, 102, 13, 202, 14, 103, 15, 203])

    def test_missing_colour_tag_means_420(self):
        (_, _, _, _, colour), _ = self.convert(y4m_bytes(b"YUV4MPEG2 W2 H2\n", [[1, 2, 3, 4, 5, 6]]))
        self.assertEqual(colour, "420jpeg")

    def test_odd_width_and_height_420(self):
        luma = list(range(15))                  # 5x3; chroma 3x2
        u, v = [10, 11, 12, 13, 14, 15], [20, 21, 22, 23, 24, 25]
        (w, h, _, _, _), out = self.convert(y4m_bytes(b"YUV4MPEG2 W5 H3 C420mpeg2\n", [luma + u + v]))
        self.assertEqual((w, h), (4, 3))
        self.assertEqual(out, [0, 10, 1, 20, 2, 11, 3, 21,
                               5, 10, 6, 20, 7, 11, 8, 21,
                               10, 13, 11, 23, 12, 14, 13, 24])

    def test_422_takes_chroma_as_it_is(self):
        (_, _, _, _, colour), out = self.convert(
            y4m_bytes(b"YUV4MPEG2 W2 H2 C422\n", [[1, 2, 3, 4] + [50, 60] + [70, 80]]))
        self.assertEqual((colour, out), ("422", [1, 50, 2, 70, 3, 60, 4, 80]))

    def test_444_averages_each_pair_rounding_down(self):
        (_, _, _, _, _), out = self.convert(
            y4m_bytes(b"YUV4MPEG2 W2 H1 C444\n", [[9, 8] + [10, 13] + [255, 254]]))
        self.assertEqual(out, [9, 11, 8, 254])

    def test_mono_gets_neutral_chroma(self):
        (_, _, _, _, _), out = self.convert(y4m_bytes(b"YUV4MPEG2 W2 H1 Cmono\n", [[7, 9]]))
        self.assertEqual(out, [7, 128, 9, 128])

    def test_frame_limit_counts_every_whole_frame_and_drops_a_truncated_one(self):
        frame = [0] * 6
        data = y4m_bytes(b"YUV4MPEG2 W2 H2 C420\n", [frame, frame, frame]) + b"FRAME\n\x00\x00"
        (_, _, written, seen, _), out = self.convert(data, max_frames=2)
        self.assertEqual((written, seen, len(out)), (2, 3, 16))

    def test_unread_colour_spaces_and_other_files_are_refused(self):
        for data in (b"YUV4MPEG2 W2 H2 C420p10\n", b"YUV4MPEG2 W2 H2 C411\n", b"RIFF....",
                     b"YUV4MPEG2 H2 C420\n"):
            with self.subTest(data=data), self.assertRaises(Y4mError):
                self.convert(data)


class RawFramesAndPng(Files):
    def test_read_frames_by_index_skips_missing_and_partial_frames(self):
        data = np.arange(3 * 2 * 16 + 5, dtype=np.uint32).astype(np.uint8)
        data.tofile(self.path("clip.yuy2"))
        frames = dict(read_frames(self.path("clip.yuy2"), "yuy2", 8, 2, [2, 0, 7]))
        self.assertEqual(sorted(frames), [0, 2])
        self.assertEqual(frames[2].shape, (2, 16))
        self.assertEqual(frames[2][0, 0], 64)

    def test_png_decodes_to_the_same_pixels(self):
        pixels = np.random.default_rng(3).integers(0, 256, (7, 5, 3), np.uint8)
        write_png(self.path("p.png"), pixels)
        self.assertTrue((imread(self.path("p.png")) == pixels).all())


if __name__ == "__main__":
    unittest.main()
