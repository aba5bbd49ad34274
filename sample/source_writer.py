"""Writes a collection source folder for kolva-build (docs/collection-format.md).

    OUTDIR/catalogue.txt            LEVEL<TAB>TITLE, volumes LEVEL<TAB>TITLE<TAB>FOLDER
    OUTDIR/yitizi.txt               variant groups, when given
    OUTDIR/<folder>/<n>.txt         the pages of a volume, numbered from 1

The folder is written beside its final place and renamed at the end, so an interrupted run
leaves the previous source in place.
"""

from __future__ import annotations

import os
import shutil
from pathlib import Path

MAX_TITLE_UNITS = 99
MAX_RECORD_NAME = 99
MAX_ENTRIES = 9999
MAX_PAGE = 65535


class SourceError(Exception):
    """A source that kolva-build would reject."""


def utf16_units(text: str) -> int:
    return len(text.encode("utf-16-le")) // 2


def as_note(text: str) -> str:
    """Text as a note of a .txt page: braces inside would end or nest it, so they become
    full-width braces."""
    return "{" + text.replace("{", "｛").replace("}", "｝") + "}"


def as_text(text: str) -> str:
    return text.replace("{", "｛").replace("}", "｝")


class SourceWriter:
    """Collects catalogue entries and writes pages as they come."""

    def __init__(self, folder: Path):
        self.folder = Path(folder)
        self.entries: list[str] = []
        self.level = 0
        self.folders: set[str] = set()

    def category(self, title: str) -> None:
        self._entry(1, title)

    def book(self, title: str) -> None:
        self._entry(2, title)

    def volume(self, title: str, folder: str, pages: list[str]) -> None:
        """A volume whose pages are the given texts, page 1 first."""
        if not folder.isascii() or "\\" in folder or "\t" in folder or folder.startswith("/"):
            raise SourceError(f"volume folder {folder!r} must be a relative ASCII path with /")
        if folder in self.folders:
            raise SourceError(f"volume folder {folder!r} used twice")
        if not 1 <= len(pages) <= MAX_PAGE:
            raise SourceError(f"volume {folder!r} has {len(pages)} pages")
        longest = len(folder) + 1 + len(str(len(pages))) + len(".htm")
        if longest > MAX_RECORD_NAME:
            raise SourceError(f"volume folder {folder!r} makes record names of {longest} bytes")
        self._entry(3, title, folder)
        self.folders.add(folder)
        target = self.folder / folder
        target.mkdir(parents=True, exist_ok=True)
        for number, text in enumerate(pages, 1):
            (target / f"{number}.txt").write_bytes(text.encode("utf-8"))

    def _entry(self, level: int, title: str, folder: str | None = None) -> None:
        if level > self.level + 1:
            raise SourceError(f"level {level} entry {title!r} follows level {self.level}")
        if "\t" in title or "\n" in title or not title:
            raise SourceError(f"bad title {title!r}")
        if utf16_units(title) > MAX_TITLE_UNITS:
            raise SourceError(f"title {title!r} is longer than {MAX_TITLE_UNITS} UTF-16 units")
        if len(self.entries) >= MAX_ENTRIES:
            raise SourceError(f"more than {MAX_ENTRIES} catalogue entries")
        fields = [str(level), title] + ([folder] if folder is not None else [])
        self.entries.append("\t".join(fields))
        self.level = level

    def finish(self, header: str, yitizi: bytes | None = None) -> None:
        lines = [f"# {line}" for line in header.splitlines()] + self.entries
        (self.folder / "catalogue.txt").write_bytes(("\n".join(lines) + "\n").encode("utf-8"))
        if yitizi is not None:
            (self.folder / "yitizi.txt").write_bytes(yitizi)


def split_even(items: list, about: int) -> list[list]:
    """Items cut into consecutive runs of about `about` each, the runs differing by at most one."""
    count = max(1, round(len(items) / about))
    size, extra = divmod(len(items), count)
    runs, start = [], 0
    for i in range(count):
        end = start + size + (1 if i < extra else 0)
        runs.append(items[start:end])
        start = end
    return [run for run in runs if run]


def chinese_numeral(n: int) -> str:
    """1 to 9999 in Chinese numerals: 一, 十, 十一, 二十, 一百零五 …"""
    digits = "零一二三四五六七八九"
    if not 1 <= n <= 9999:
        raise ValueError(n)
    if n < 10:
        return digits[n]
    if n < 20:
        return "十" + (digits[n % 10] if n % 10 else "")
    out, zero = "", False
    for value, unit in ((1000, "千"), (100, "百"), (10, "十"), (1, "")):
        d = n // value % 10
        if d:
            if zero and out:
                out += "零"
            out += digits[d] + unit
            zero = False
        else:
            zero = True
    return out


def replace_folder(partial: Path, final: Path) -> None:
    """Moves a finished source into place, removing an earlier source there."""
    if final.exists():
        if any(final.iterdir()) and not (final / "catalogue.txt").is_file():
            raise SourceError(f"{final} exists and is not a collection source; not replacing it")
        shutil.rmtree(final)
    os.replace(partial, final)


def partial_folder(final: Path) -> Path:
    """A fresh empty folder beside `final` to write into."""
    final = Path(final).absolute()
    if final.exists() and any(final.iterdir()) and not (final / "catalogue.txt").is_file():
        raise SourceError(f"{final} exists and is not a collection source; not replacing it")
    partial = final.with_name(f".{final.name}.partial")
    if partial.exists():
        shutil.rmtree(partial)
    partial.mkdir(parents=True)
    return partial
