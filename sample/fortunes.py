"""Reads the Tang poems, Song poems and Tang and Song ci shipped by Debian's fortunes-zh.

The package keeps each anthology as a fortune file: entries separated by lines holding only "%",
with terminal colour escapes around the title and author lines.

  tang300   《TITLE》 / 作者：AUTHOR / the poem
  song100   题目:《TITLE》… / 作者:AUTHOR（YEARS） / the poem (subtitles indented, stanzas apart)
  chinese   a mixed file; its ci are the entries that end in an attribution line indented by at
            least six spaces: "      -- AUTHOR《TUNE》"

A line that starts with "%" ends an entry, whatever follows it on the line.
"""

from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path

FORTUNES_DIR = Path("/usr/share/games/fortunes")
ANTHOLOGY_FILES = ("tang300", "song100", "chinese")

_ESCAPE = re.compile(r"\x1b\[[0-9;]*m")
_CI_ATTRIBUTION = re.compile(r"^ {6,}--\s*([^《\s]+)《([^》]+)》\s*$")
_MIN_CI = 100


class FortunesError(Exception):
    """The fortunes-zh files are missing or not laid out as expected."""


@dataclass(frozen=True)
class Poem:
    title: str                  # the title as printed, with its 《》
    author: str                 # the author line, e.g. "作者：张九龄"
    lines: tuple[str, ...]      # the body; "" separates stanzas


@dataclass(frozen=True)
class Anthology:
    key: str                    # ASCII name, used for folders
    poems: tuple[Poem, ...]


def missing_files(folder: Path = FORTUNES_DIR) -> list[Path]:
    return [folder / name for name in ANTHOLOGY_FILES if not (folder / name).is_file()]


def read_entries(path: Path) -> list[list[str]]:
    """The entries of a fortune file as lists of lines, escapes and trailing blanks removed,
    blank lines around an entry dropped."""
    try:
        text = path.read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as error:
        raise FortunesError(f"{path}: cannot read: {error}") from error
    entries: list[list[str]] = []
    current: list[str] = []
    for raw in _ESCAPE.sub("", text).split("\n"):
        line = raw.rstrip()
        if line.startswith("%"):        # one separator in chinese carries two stray characters
            entries.append(current)
            current = []
        else:
            current.append(line)
    entries.append(current)
    return [trim_blank(entry) for entry in entries if any(line.strip() for line in entry)]


def trim_blank(lines: list[str]) -> list[str]:
    start, end = 0, len(lines)
    while start < end and not lines[start].strip():
        start += 1
    while end > start and not lines[end - 1].strip():
        end -= 1
    return lines[start:end]


def body(lines: list[str]) -> tuple[str, ...]:
    """Body lines, stripped, with runs of blank lines folded into one stanza break."""
    out: list[str] = []
    for line in trim_blank(lines):
        line = line.strip()
        if line or (out and out[-1]):
            out.append(line)
    return tuple(out)


def read_tang(path: Path) -> tuple[Poem, ...]:
    poems = []
    for number, entry in enumerate(read_entries(path), 1):
        head = [line.strip() for line in entry[:2]]
        if len(entry) < 3 or not head[0].startswith("《") or not head[1].startswith("作者"):
            raise FortunesError(f"{path}: entry {number} has no 《title》 and 作者 line")
        poems.append(Poem(head[0], head[1], body(entry[2:])))
    return tuple(poems)


def read_song(path: Path) -> tuple[Poem, ...]:
    poems = []
    for number, entry in enumerate(read_entries(path), 1):
        head = [line.strip() for line in entry[:2]]
        if len(entry) < 3 or not head[0].startswith("题目") or not head[1].startswith("作者"):
            raise FortunesError(f"{path}: entry {number} has no 题目 and 作者 line")
        title = head[0].removeprefix("题目").lstrip(":：")
        poems.append(Poem(title, head[1], body(entry[2:])))
    return tuple(poems)


def read_ci(path: Path) -> tuple[Poem, ...]:
    poems = []
    for entry in read_entries(path):
        match = _CI_ATTRIBUTION.match(entry[-1]) if len(entry) >= 2 else None
        if match:
            author, tune = match.groups()
            poems.append(Poem(f"《{tune}》", f"作者：{author}", body(entry[:-1])))
    if len(poems) < _MIN_CI:
        raise FortunesError(f"{path}: found {len(poems)} ci, expected at least {_MIN_CI}")
    return tuple(poems)


def load(folder: Path = FORTUNES_DIR) -> dict[str, Anthology]:
    """The three anthologies by key: "tang300", "song100", "ci"."""
    missing = missing_files(folder)
    if missing:
        raise FortunesError("fortunes-zh is not installed (missing "
                            + ", ".join(str(p) for p in missing)
                            + "); run scripts/install-deps.sh")
    return {
        "tang300": Anthology("tang300", read_tang(folder / "tang300")),
        "song100": Anthology("song100", read_song(folder / "song100")),
        "ci": Anthology("ci", read_ci(folder / "chinese")),
    }
