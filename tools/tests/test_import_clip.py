"""A user's clip becomes a stream the host plays, or is refused with a reason."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "import_clip.py")


class ImportClip(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def run_tool(self, name, data, *extra):
        src = os.path.join(self.dir.name, name)
        with open(src, "wb") as f:
            f.write(data)
        out = os.path.join(self.dir.name, "out")
        done = subprocess.run([sys.executable, TOOL, "--input", src, "--out", out, *extra],
                              capture_output=True, text=True)
        clip = None
        if done.returncode == 0:
            with open(os.path.join(out, "clip.json")) as f:
                clip = json.load(f)
        return done, clip, out

    def test_raw_bgr24_is_cut_to_whole_frames_and_the_limit(self):
        frame = bytes(16 * 16 * 3)
        done, clip, out = self.run_tool("c.raw", frame * 3 + b"xx", "--format", "bgr24", "--size", "16x16",
                                        "--frames", "2")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(clip, {"format": "rgb24", "width": 16, "height": 16, "frames": 2})
        self.assertEqual(os.path.getsize(os.path.join(out, "input.rgb24")), 2 * len(frame))

    def test_y4m_becomes_yuy2(self):
        frame = b"FRAME\n" + bytes(16 * 16 + 2 * 8 * 8)
        done, clip, out = self.run_tool("c.y4m", b"YUV4MPEG2 W16 H16 F25:1 C420jpeg\n" + frame * 2)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(clip, {"format": "yuy2", "width": 16, "height": 16, "frames": 2})
        self.assertEqual(os.path.getsize(os.path.join(out, "input.yuy2")), 2 * 16 * 16 * 2)

    def test_refusals(self):
        cases = [("c.raw", bytes(15 * 16 * 2), ("--format", "yuyv422", "--size", "15x16"), "even width"),
                 ("c.raw", bytes(8 * 8 * 2), ("--format", "yuyv422", "--size", "8x8"), "too small"),
                 ("c.raw", bytes(10), ("--format", "yuyv422", "--size", "16x16"), "no whole frame"),
                 ("c.y4m", b"YUV4MPEG2 W16 H16 C411\n", (), "C411 is not read"),
                 ("c.raw", bytes(10), (), "needs --format")]
        for name, data, extra, reason in cases:
            with self.subTest(reason=reason):
                done, _, _ = self.run_tool(name, data, *extra)
                self.assertNotEqual(done.returncode, 0)
                self.assertIn(reason, done.stderr)


if __name__ == "__main__":
    unittest.main()
