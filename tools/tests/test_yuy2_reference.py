"""The numpy forms of the plug-in's operations against the definition's worked values."""

import unittest

import numpy as np

from yuy2_reference import chroma_median, chroma_planes, rgb24_to_yuy2, yuy2_to_rgb24


def pair_frame(*pixels):
    """One row of B, G, R pixels."""
    return np.array([pixels], np.uint8)


def column_frame(u_column, width=8):
    """A YUY2 frame whose U samples of pair 0 run down u_column; every other chroma is 128, luma 50."""
    frame = np.full((len(u_column), 2 * width), 128, np.uint8)
    frame[:, 0::2] = 50
    frame[:, 1] = u_column
    return frame


class ConversionWorkedValues(unittest.TestCase):
    TABLE = [  # colour in (B, G, R), YUY2 of a pair of it, colour out
        ((255, 255, 255), (255, 128, 255, 128), (255, 255, 255)),
        ((0, 0, 0), (0, 128, 0, 128), (0, 0, 0)),
        ((100, 100, 100), (100, 128, 100, 128), (100, 100, 100)),
        ((255, 0, 0), (28, 255, 28, 107), (253, 0, 0)),
        ((0, 255, 0), (149, 43, 149, 21), (0, 253, 0)),
        ((0, 0, 255), (76, 85, 76, 255), (0, 0, 254)),
    ]

    def test_table(self):
        for colour, yuy2, back in self.TABLE:
            with self.subTest(colour=colour):
                converted = rgb24_to_yuy2(pair_frame(colour, colour))
                self.assertEqual(tuple(converted[0]), yuy2)
                self.assertEqual(yuy2_to_rgb24(converted).tolist(), [[list(back), list(back)]])

    def test_black_white_pair_survives_and_blue_black_pair_shares_colour(self):
        black_white = rgb24_to_yuy2(pair_frame((0, 0, 0), (255, 255, 255)))
        self.assertEqual(tuple(black_white[0]), (0, 128, 255, 128))
        self.assertEqual(yuy2_to_rgb24(black_white).tolist(), [[[0, 0, 0], [255, 255, 255]]])
        self.assertEqual(tuple(rgb24_to_yuy2(pair_frame((255, 0, 0), (0, 0, 0)))[0]), (28, 191, 0, 117))

    def test_inverse_rounds_each_term_down(self):
        # U = 127: 7264 * -1 / 4096 floors to -2, not -1.
        self.assertEqual(yuy2_to_rgb24(np.array([[100, 127, 100, 128]], np.uint8))[0, 0, 0], 98)
        # U = 129: 7264 / 4096 = 1.77 gives B + 1 and -1376 / 4096 = -0.34 gives G - 1, rounded down.
        self.assertEqual(yuy2_to_rgb24(np.array([[100, 129, 100, 128]], np.uint8))[0, 0].tolist(), [101, 99, 100])

    def test_inverse_saturates(self):
        self.assertEqual(yuy2_to_rgb24(np.array([[28, 255, 28, 107]], np.uint8))[0, 0].tolist(), [253, 0, 0])
        # dv = 127: tGv = floor(-2928 * 127 / 4096) = -91, tR = floor(5744 * 127 / 4096) = 178.
        self.assertEqual(yuy2_to_rgb24(np.array([[250, 128, 5, 255]], np.uint8))[0].tolist(),
                         [[250, 159, 255], [5, 0, 183]])


class ChromaMedianWorkedValues(unittest.TestCase):
    COLUMN = [10, 200, 12, 11, 13]

    def u_after(self, column, count):
        return chroma_median(column_frame(column), count)[:, 1].tolist()

    def test_five_row_column(self):
        self.assertEqual(self.u_after(self.COLUMN, 3), [10, 12, 12, 12, 13])
        self.assertEqual(self.u_after(self.COLUMN, 4), [12, 12, 13, 13, 13])
        self.assertEqual(self.u_after(self.COLUMN, 5), [10, 11, 12, 13, 13])

    def test_count_one_keeps_the_frame(self):
        frame = np.random.default_rng(1).integers(0, 256, (9, 32), np.uint8)
        self.assertTrue((chroma_median(frame, 1) == frame).all())

    def test_count_two_takes_the_larger_of_row_and_row_below(self):
        self.assertEqual(self.u_after([5, 9, 3, 7], 2), [9, 9, 7, 7])

    def test_spike_heights_against_count_three(self):
        self.assertEqual(self.u_after([40, 40, 220, 40, 40], 3), [40] * 5)
        self.assertEqual(self.u_after([40, 220, 220, 40, 40], 3), [40, 220, 220, 40, 40])

    def test_extremes_order_as_unsigned(self):
        self.assertEqual(self.u_after([0, 254, 255], 3)[1], 254)

    def test_count_fifteen_on_row_zero_repeats_it(self):
        # Row 0 counts eight times in its own window, so its value wins against seven larger rows.
        self.assertEqual(self.u_after([1] + [200] * 7 + [0] * 4, 15)[0], 1)

    def test_remainder_columns_and_luma_untouched(self):
        frame = np.random.default_rng(2).integers(0, 256, (10, 24), np.uint8)
        out = chroma_median(frame, 5)
        self.assertTrue((out[:, 16:] == frame[:, 16:]).all())
        self.assertTrue((out[:, 0::2] == frame[:, 0::2]).all())

    def test_u_spike_leaves_neighbouring_v(self):
        frame = column_frame([128, 128, 255, 128, 128])
        frame[:, 3] = [1, 2, 3, 4, 5]
        out = chroma_median(frame, 3)
        self.assertEqual(out[:, 1].tolist(), [128] * 5)
        self.assertEqual(out[:, 3].tolist(), [1, 2, 3, 4, 5])

    def test_chroma_planes_is_a_view_of_u_and_v(self):
        frame = np.arange(16, dtype=np.uint8).reshape(1, 16)
        planes = chroma_planes(frame)
        self.assertEqual(planes[0].tolist(), [[1, 3], [5, 7], [9, 11], [13, 15]])
        planes[0, 0, 1] = 99
        self.assertEqual(frame[0, 3], 99)


if __name__ == "__main__":
    unittest.main()
