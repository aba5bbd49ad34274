#!/usr/bin/env python3
"""Checks the sample recipe and the benchmark generator: both write sources that kolva-build
accepts (docs/collection-format.md), the same input gives the same bytes, and the variant table
lets a simplified word find the traditional copy.

    check_source.py GEN_COLLECTION
"""

from __future__ import annotations

import sys

sys.dont_write_bytecode = True

import re  # noqa: E402
import subprocess  # noqa: E402
import tempfile  # noqa: E402
import unittest  # noqa: E402
from pathlib import Path  # noqa: E402

HERE = Path(__file__).resolve().parent
import fortunes  # noqa: E402
import source_writer  # noqa: E402
from variants import MAX_GROUPS, groupable, parse_table  # noqa: E402

GENERATOR = HERE.parent / "bench" / "gen-collection"
PAGE_NAME = re.compile(r"^(\d+)\.(txt|htm|html)$")
TABLE_BYTES = re.compile(rb"^([0-9A-F]+(,[0-9A-F]+)*\n)*$")


def tree_bytes(folder: Path) -> dict[str, bytes]:
    return {str(p.relative_to(folder)): p.read_bytes() for p in sorted(folder.rglob("*"))
            if p.is_file()}


def read_source(folder: Path) -> dict:
    """Reads a source as kolva-build does and fails on what it would reject.
    Returns {"entries": [(level, title, folder)], "pages": {folder: [text, …]}}."""
    entries, pages, previous = [], {}, 0
    text = (folder / "catalogue.txt").read_bytes().decode("utf-8").removeprefix("\ufeff")
    for number, line in enumerate(text.split("\n"), 1):
        where = f"catalogue.txt:{number}"
        if not line or line.startswith("#"):
            continue
        fields = line.split("\t")
        level = int(fields[0])
        assert level in (1, 2, 3) and level <= previous + 1, f"{where}: level {level}"
        assert len(fields) == (3 if level == 3 else 2), f"{where}: {len(fields)} fields"
        title = fields[1]
        assert title and source_writer.utf16_units(title) <= 99, f"{where}: title {title!r}"
        previous = level
        entries.append((level, title, fields[2] if level == 3 else None))
        if level != 3:
            continue
        volume = fields[2]
        assert volume.isascii() and volume not in pages, f"{where}: folder {volume!r}"
        numbered = {}
        for path in (folder / volume).iterdir():
            match = PAGE_NAME.match(path.name)
            if match:
                assert int(match[1]) not in numbered, f"{path}: page number twice"
                numbered[int(match[1])] = path
        assert sorted(numbered) == list(range(1, len(numbered) + 1)), f"{where}: page numbers"
        assert 1 <= len(numbered) <= 65535, f"{where}: {len(numbered)} pages"
        for n, path in numbered.items():
            assert len(f"{volume}/{path.name}".replace(".txt", ".htm")) <= 99, f"{path}: name"
        pages[volume] = [page_text(numbered[n]) for n in sorted(numbered)]
    assert entries and entries[0][0] == 1 and len(entries) <= 9999, "catalogue entries"
    return {"entries": entries, "pages": pages}


def page_text(path: Path) -> str:
    text = path.read_bytes().decode("utf-8")
    depth = 0
    for ch in text:
        if ch in "{}":
            depth += 1 if ch == "{" else -1
            assert depth in (0, 1), f"{path}: nested or unopened note"
    assert depth == 0, f"{path}: unclosed note"
    return text


def read_table(path: Path) -> list[list[int]]:
    data = path.read_bytes()
    assert TABLE_BYTES.match(data), f"{path}: not upper-case hexadecimal groups with LF ends"
    return parse_table(data)


def run(*command) -> None:
    result = subprocess.run([str(c) for c in command], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}): {result.stderr}")


class Recipe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="kolva-sample-")
        cls.first, cls.second = Path(cls.tmp.name) / "first", Path(cls.tmp.name) / "second"
        for out in (cls.first, cls.second):
            run(sys.executable, HERE / "make-source.py", out)
        cls.source = read_source(cls.first)
        cls.groups = read_table(cls.first / "yitizi.txt")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_same_input_gives_same_bytes(self):
        self.assertEqual(tree_bytes(self.first), tree_bytes(self.second))

    def test_volumes_of_about_fifty_poems_author_as_note(self):
        books = [title for level, title, _ in self.source["entries"] if level == 2]
        self.assertIn("唐詩三百首", books)
        self.assertIn("唐詩三百首（繁體字版）", books)
        for folder, texts in self.source["pages"].items():
            self.assertTrue(35 <= len(texts) <= 65, f"{folder}: {len(texts)} poems")
            for text in texts:
                title, note = text.split("\n")[:2]
                self.assertTrue(title.startswith("《") and note.startswith("{作者"), text)

    def test_variant_table_holds_each_character_once(self):
        self.assertLessEqual(len(self.groups), MAX_GROUPS)
        seen = {}
        for number, group in enumerate(self.groups, 1):
            self.assertGreater(len(group), 1, f"group {number}")
            for cp in group:
                self.assertTrue(groupable(chr(cp)), f"group {number}: U+{cp:04X} has no slot")
                self.assertNotIn(cp, seen, f"U+{cp:04X} in groups {seen.get(cp)} and {number}")
                seen[cp] = number

    def test_simplified_text_finds_its_traditional_copy(self):
        """Every character of the traditional copy shares a group with the character it was
        converted from, so a simplified word with variants on finds the copy too."""
        group_of = {cp: n for n, group in enumerate(self.groups) for cp in group}
        pages = self.source["pages"]
        converted = 0
        for folder in (f for f in pages if f.startswith("tang300/")):
            copy = pages[folder.replace("tang300/", "tang300-trad/")]
            for original, traditional in zip(pages[folder], copy, strict=True):
                self.assertEqual(len(original), len(traditional))
                for a, b in zip(original, traditional):
                    if a != b and groupable(a):
                        converted += 1
                        self.assertIsNotNone(group_of.get(ord(a)), f"{a} has no group")
                        self.assertEqual(group_of[ord(a)], group_of.get(ord(b)), f"{a} {b}")
        self.assertGreater(converted, 1000)

    def test_fortunes_entries_parsed_whole(self):
        for key, anthology in fortunes.load().items():
            self.assertGreater(len(anthology.poems), 50, key)
            for poem in anthology.poems:
                body = "\n".join(poem.lines)
                self.assertTrue(poem.lines and poem.lines[0], f"{key}: {poem.title}")
                self.assertNotRegex(body, r"\x1b|^%$|--|作者", f"{key}: {poem.title}")


class Helpers(unittest.TestCase):
    def test_chinese_numerals(self):
        for n, text in [(1, "一"), (10, "十"), (11, "十一"), (20, "二十"), (35, "三十五"),
                        (100, "一百"), (105, "一百零五"), (110, "一百一十"), (1001, "一千零一")]:
            self.assertEqual(source_writer.chinese_numeral(n), text)

    def test_split_even_keeps_order_and_balances(self):
        for count, about in [(313, 50), (95, 50), (662, 50), (1, 50), (30, 50), (76, 50)]:
            runs = source_writer.split_even(list(range(count)), about)
            self.assertEqual(sum(runs, []), list(range(count)))
            self.assertLessEqual(max(map(len, runs)) - min(map(len, runs)), 1)


class Generator(unittest.TestCase):
    ARGS = ["230", "400", "--pages-per-volume", "20", "--volumes-per-book", "3",
            "--books-per-category", "2"]

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="kolva-gen-")
        root = Path(cls.tmp.name)
        cls.first, cls.second, cls.other = root / "a", root / "b", root / "c"
        run(sys.executable, GENERATOR, cls.first, *cls.ARGS)
        run(sys.executable, GENERATOR, cls.second, *cls.ARGS)
        run(sys.executable, GENERATOR, cls.other, *cls.ARGS, "--seed", "2")
        cls.source = read_source(cls.first)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_same_arguments_give_same_bytes_another_seed_other_text(self):
        self.assertEqual(tree_bytes(self.first), tree_bytes(self.second))
        self.assertNotEqual(tree_bytes(self.first), tree_bytes(self.other))

    def test_layout_and_page_sizes(self):
        levels = [level for level, _, _ in self.source["entries"]]
        # 230 pages: 12 volumes of 20 (the last 10), 4 books of 3 volumes, 2 categories.
        self.assertEqual((levels.count(1), levels.count(2), levels.count(3)), (2, 4, 12))
        texts = [t for pages in self.source["pages"].values() for t in pages]
        self.assertEqual(len(texts), 230)
        sizes = [len(t) - t.count("\n") for t in texts]
        self.assertTrue(all(380 <= s <= 460 for s in sizes), (min(sizes), max(sizes)))
        self.assertGreater(sum(t.count("{") for t in texts), 2 * len(texts))
        self.assertGreater(len({ch for t in texts for ch in t}), 1500)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        GENERATOR = Path(sys.argv.pop(1))
    unittest.main()
