"""The figures on tiny frames whose values are worked out by hand."""

import argparse
import math
import os
import tempfile
import unittest

import numpy as np

from measure import Totals, figures_of, host_timing, measure_frame, summary
from yuy2_reference import rgb24_to_yuy2


def grey_yuy2(height=6, width=8, luma=90, chroma=128):
    frame = np.full((height, 2 * width), chroma, np.uint8)
    frame[:, 0::2] = luma
    return frame


def args(stream_format="yuy2", window=3, threshold=0):
    return argparse.Namespace(label="", format=stream_format, window=str(window), switch_every=0, host_log=None,
                              ms_per_frame=None, threshold=threshold)


class YuyvFigures(unittest.TestCase):
    def setUp(self):
        self.clean = grey_yuy2()
        self.noisy = self.clean.copy()
        self.noisy[2, 1] = 228                      # one U spike of 100 in row 2, pair 0
        self.mask = np.zeros((6, 4, 2), bool)
        self.mask[2, 0, 0] = True

    def figures(self, filtered, window=3):
        t = Totals()
        measure_frame(t, "yuy2", window, self.noisy, filtered, self.clean, self.mask)
        return figures_of(t, args(window=window))

    def test_a_repaired_spike(self):
        f = self.figures(self.clean.copy())
        self.assertEqual((f["differ_from_definition"], f["luma_changed"]), (0, 0))
        self.assertEqual((f["impulses"], f["repaired_pct"], f["collateral_pct"]), (1, 100.0, 0.0))
        # 48 chroma samples, one off by 100: MSE 10000 / 48.
        self.assertAlmostEqual(f["chroma_psnr_noisy"], 10 * math.log10(255 ** 2 * 48 / 10000))
        self.assertEqual(f["chroma_psnr_filtered"], math.inf)
        self.assertAlmostEqual(f["chroma_changed_pct"], 100 / 48)

    def test_a_repair_run_is_measured_but_not_held_to_the_median(self):
        # The repair has no definition in numpy: its figures are taken, its bytes not checked.
        t = Totals()
        filtered = self.clean.copy()
        filtered[3, 1] = 140
        measure_frame(t, "yuy2", 3, self.noisy, filtered, self.clean, self.mask, threshold=18)
        f = figures_of(t, args(threshold=18))
        self.assertIsNone(f["differ_from_definition"])
        self.assertEqual((f["repaired_pct"], f["collateral_pct"]), (100.0, 100 / 47))

    def test_faults_of_an_output_are_counted(self):
        filtered = self.clean.copy()
        filtered[2, 1] = 133                        # a spike left 5 away: not repaired
        filtered[0, 3] = 120                        # a clean V moved by 8: collateral
        filtered[5, 0] = 91                         # a luma byte moved
        f = self.figures(filtered)
        self.assertEqual((f["differ_from_definition"], f["luma_changed"], f["luma_max_change"]), (3, 1, 1))
        self.assertEqual(f["repaired_pct"], 0.0)
        self.assertAlmostEqual(f["collateral_pct"], 100 / 47)

    def test_filtering_off_expects_the_input_back(self):
        f = self.figures(self.noisy.copy(), window=0)
        self.assertEqual((f["differ_from_definition"], f["repaired_pct"], f["chroma_changed_pct"]), (0, 0.0, 0.0))
        self.assertEqual(self.figures(self.clean.copy(), window=0)["differ_from_definition"], 1)

    def test_a_window_that_cannot_remove_the_spike(self):
        f = self.figures(self.noisy.copy(), window=1)
        self.assertEqual((f["differ_from_definition"], f["repaired_pct"]), (0, 0.0))


class RgbFigures(unittest.TestCase):
    def test_rgb_is_checked_as_rgb_and_measured_as_yuy2(self):
        clean = np.full((6, 8, 3), 100, np.uint8)
        noisy = clean.copy()
        # Grey 100 with U = 178 decoded: B = 100 + floor(7264 * 50 / 4096) = 188,
        # G = 100 + floor(-1376 * 50 / 4096) = 83, R = 100; read back: Y = 100, U = 177, V = 127.
        noisy[3, 2:4] = (188, 83, 100)
        mask = np.zeros((6, 4, 2), bool)
        mask[3, 1, 0] = True
        t = Totals()
        measure_frame(t, "rgb24", 3, noisy, clean.copy(), clean, mask)
        f = figures_of(t, args("rgb24"))
        # The one-row spike goes and grey survives the round trip exactly: the clean frame is the definition.
        self.assertEqual(f["differ_from_definition"], 0)
        self.assertEqual((f["repaired_pct"], f["rgb_psnr_filtered"], f["rgb_psnr_round_trip"]),
                         (100.0, math.inf, math.inf))
        self.assertAlmostEqual(f["rgb_psnr_noisy"], 10 * math.log10(255 ** 2 * 144 / (2 * (88 ** 2 + 17 ** 2))))
        self.assertAlmostEqual(f["chroma_psnr_noisy"], 10 * math.log10(255 ** 2 * 48 / (49 ** 2 + 1)))


class HostLogAndSummary(unittest.TestCase):
    def test_reads_the_hosts_figure_and_tabulates_runs(self):
        with tempfile.TemporaryDirectory() as d:
            log = os.path.join(d, "run.log")
            with open(log, "w") as f:
                f.write("some wine noise\nframes 48, 1.250 ms per frame in ProcessFrame\n")
            self.assertEqual(host_timing(log), (48, 1.25))
            figures = os.path.join(d, "figures.jsonl")
            with open(figures, "w") as f:
                f.write('{"format": "yuy2", "window": 5, "ms_per_frame": 1.25, "luma_changed": 0}\n'
                        '{"format": "rgb24", "window": 15, "ms_per_frame": 3.5, "luma_changed": 7}\n')
            table = summary(figures).splitlines()
        self.assertIn("YUY2 w5", table[0])
        self.assertIn("RGB24 w15", table[0])
        rows = {line[:45].strip(): line.split()[-2:] for line in table[1:]}
        self.assertEqual(rows["ms per frame in ProcessFrame"], ["1.250", "3.500"])
        self.assertEqual(rows["luma bytes changed"], ["0", "7"])
        self.assertNotIn("impulses repaired, %", rows)


if __name__ == "__main__":
    unittest.main()
