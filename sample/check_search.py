#!/usr/bin/env python3
"""Searches the built sample collection for words of the simplified Tang poems: with variants on,
each is found on its page and on the same page of the traditional copy, with the same hit count;
with variants off, the copy is not found.

    check_search.py KOLVA_SEARCH DATA_DIR SOURCE_DIR
"""

from __future__ import annotations

import sys

sys.dont_write_bytecode = True

import random  # noqa: E402
import subprocess  # noqa: E402
import unittest  # noqa: E402
from pathlib import Path  # noqa: E402

from check_source import read_source  # noqa: E402

WORDS = 25
SIMPLIFIED, TRADITIONAL = "唐詩三百首", "唐詩三百首（繁體字版）"


def rows(program: Path, data: Path, word: str, variant: str) -> dict[tuple, int]:
    """(book, volume, page number): hits, for every result row."""
    result = subprocess.run([str(program), "--data", str(data), "--variant", variant, "--", word],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        raise AssertionError(f"kolva-search {word} failed: {result.stderr}")
    found = {}
    for line in result.stdout.splitlines()[:-1]:
        _, book, volume, page, hits, _ = line.split("\t")
        found[(book, volume, int(page))] = int(hits)
    return found


def is_ideograph(ch: str) -> bool:
    return "\u3400" <= ch <= "\u9fff"


def words_to_search(source: dict, count: int) -> list[tuple[str, str, int]]:
    """(word, volume title, page number): words of two to four characters that the traditional
    copy writes differently, drawn with a fixed seed."""
    titles = {folder: title for _, title, folder in source["entries"] if folder}
    pages = source["pages"]
    candidates = []
    for folder in sorted(f for f in pages if f.startswith("tang300/")):
        copy = pages[folder.replace("tang300/", "tang300-trad/")]
        for number, (text, converted) in enumerate(zip(pages[folder], copy), 1):
            body = text.split("\n\n", 1)[1]
            offset = len(text) - len(body)
            candidates.append((titles[folder], number, body, converted[offset:]))
    rng = random.Random(4)
    words: list[tuple[str, str, int]] = []
    while len(words) < count:
        volume, number, body, converted = rng.choice(candidates)
        length = rng.randint(2, 4)
        start = rng.randrange(len(body) - length)
        word = body[start:start + length]
        if all(is_ideograph(ch) for ch in word) and word != converted[start:start + length]:
            words.append((word, volume, number))
    return words


class SampleSearch(unittest.TestCase):
    def test_simplified_word_finds_traditional_copy(self):
        for word, volume, number in words_to_search(read_source(SOURCE), WORDS):
            with self.subTest(word=word):
                found = rows(PROGRAM, DATA, word, "on")
                simplified = found.get((SIMPLIFIED, volume, number))
                self.assertIsNotNone(simplified, f"{word} not on {volume} {number}")
                self.assertEqual(found.get((TRADITIONAL, volume, number)), simplified)
                plain = rows(PROGRAM, DATA, word, "off")
                self.assertIn((SIMPLIFIED, volume, number), plain)
                self.assertNotIn((TRADITIONAL, volume, number), plain)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    PROGRAM, DATA, SOURCE = (Path(a) for a in sys.argv[1:4])
    del sys.argv[1:4]
    unittest.main()
