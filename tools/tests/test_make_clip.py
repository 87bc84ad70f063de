"""The sparkle model: seeded, chroma only, strong, sized as specified, and the same events in RGB."""

import unittest

import numpy as np

from make_clip import MIN_IMPULSE_DISTANCE, add_sparkles, sparkle_rgb
from yuy2_reference import chroma_planes, luma_plane, rgb24_to_yuy2


def photo_like(height, width, seed=5):
    """A smooth colour gradient with some texture: B, G, R."""
    y, x = np.mgrid[0:height, 0:width]
    rng = np.random.default_rng(seed)
    bgr = np.stack([x * 255 // width, y * 255 // height, (x + y) * 127 // (width + height) + 64], axis=-1)
    return np.clip(bgr + rng.integers(-3, 4, bgr.shape), 0, 255).astype(np.uint8)


class Sparkles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.clean_bgr = photo_like(144, 192)
        cls.clean = rgb24_to_yuy2(cls.clean_bgr)
        cls.noisy, cls.mask = add_sparkles(cls.clean, np.random.default_rng(7), 0.004)

    def test_same_seed_same_noise(self):
        again, mask = add_sparkles(self.clean, np.random.default_rng(7), 0.004)
        self.assertTrue((again == self.noisy).all() and (mask == self.mask).all())
        other, _ = add_sparkles(self.clean, np.random.default_rng(8), 0.004)
        self.assertFalse((other == self.noisy).all())

    def test_only_marked_chroma_changes_and_every_mark_is_strong(self):
        self.assertTrue((luma_plane(self.noisy) == luma_plane(self.clean)).all())
        distance = np.abs(chroma_planes(self.noisy).astype(int) - chroma_planes(self.clean))
        self.assertTrue((distance[~self.mask] == 0).all())
        self.assertGreaterEqual(distance[self.mask].min(), MIN_IMPULSE_DISTANCE)

    def test_density_near_the_asked_share(self):
        _, mask = add_sparkles(rgb24_to_yuy2(photo_like(576, 720)), np.random.default_rng(9), 0.003)
        self.assertGreater(mask.mean(), 0.002)
        self.assertLess(mask.mean(), 0.004)

    def test_sparkles_are_one_to_three_rows_high_mostly(self):
        # Overlapping events may stack; at this density almost every vertical run is a single event's.
        runs = []
        for column in self.mask.reshape(self.mask.shape[0], -1).T:
            edges = np.flatnonzero(np.diff(np.concatenate([[0], column.astype(int), [0]])))
            runs += list(edges[1::2] - edges[0::2])
        runs = np.array(runs)
        self.assertGreater(len(runs), 50)
        self.assertGreater((runs <= 3).mean(), 0.97)
        self.assertTrue({1, 2, 3} <= set(runs.tolist()))

    def test_rgb_carries_the_same_events_and_nothing_else(self):
        noisy_bgr = sparkle_rgb(self.clean_bgr, self.noisy, self.mask)
        hit = np.repeat(self.mask.any(axis=2), 2, axis=1)
        self.assertTrue((noisy_bgr[~hit] == self.clean_bgr[~hit]).all())
        self.assertTrue((noisy_bgr[hit] != self.clean_bgr[hit]).any(axis=-1).mean() > 0.95)
        # Read back by the plug-in, the sparkles are still far from the true colour where RGB can hold them.
        seen = np.abs(chroma_planes(rgb24_to_yuy2(noisy_bgr)).astype(int) - chroma_planes(self.clean))
        self.assertGreater(np.median(seen[self.mask]), MIN_IMPULSE_DISTANCE)


if __name__ == "__main__":
    unittest.main()
