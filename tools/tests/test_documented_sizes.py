"""The sizes check against a page written by hand: it passes only when every size given is the page's."""

import contextlib
import io
import os
import tempfile
import unittest

from documented_sizes import BEGIN, END, check, parse_pairs

PAGE = f"""# Release

{BEGIN}
| file | size |
|---|---:|
| the zip | 12,345 |
| the package installed, KB | 678 |
{END}

| the setup program | 999 |
"""


class SizesCheck(unittest.TestCase):
    def test_each_size_must_be_the_pages(self):
        cases = [
            ("every size stated", ["the zip=12345", "the package installed, KB=678"], 0),
            ("a size that differs", ["the zip=12346"], 1),
            ("a row the page lacks", ["the zip=12345", "the setup program=999"], 1),
            ("a label that only starts like a row", ["the=12345"], 1),
        ]
        with tempfile.TemporaryDirectory() as folder:
            page = os.path.join(folder, "release.md")
            with open(page, "w", encoding="utf-8") as f:
                f.write(PAGE)
            for name, pairs, expected in cases:
                with self.subTest(name), contextlib.redirect_stderr(io.StringIO()):
                    self.assertEqual(check(page, parse_pairs(pairs)), expected)


if __name__ == "__main__":
    unittest.main()
