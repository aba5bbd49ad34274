"""Character conversion with Debian's opencc and the variant table derived from it.

yitizi.txt holds one group per line: the code points of the simplified, traditional and Japanese
forms of one character, upper-case hexadecimal, separated by ",", LF line ends. The reader takes
the first group that holds a character, so every character here is in exactly one group. Groups
hold only characters that have an index slot and lie in the Basic Multilingual Plane: the page
composer matches group members by their low 16 bits, so a supplementary-plane member could stand
for an unrelated BMP character there.
"""

from __future__ import annotations

import shutil
import subprocess
import tempfile
from pathlib import Path

OPENCC_DATA = Path("/usr/share/opencc")
# Every conversion between simplified, traditional, Japanese, Taiwan and Hong Kong forms the
# package ships; each pairs a character with its form in the other standard.
CONVERSIONS = ("s2t", "t2s", "t2jp", "jp2t", "t2tw", "tw2t", "t2hk", "hk2t")
MAX_GROUPS = 11935


class OpenccError(Exception):
    """opencc is missing or failed."""


def has_slot(cp: int) -> bool:
    """True for the characters the index gives a slot: ideographs, kana あ..ヶ, private use and
    compatibility forms."""
    return (0x3400 <= cp <= 0x9FFF or 0xF900 <= cp <= 0xFAFF or 0x20000 <= cp <= 0x2A6DF
            or 0x2F800 <= cp <= 0x2FA1F or 0x3042 <= cp <= 0x30F6 or 0xE000 <= cp <= 0xFFFF)


def groupable(ch: str) -> bool:
    return len(ch) == 1 and ord(ch) <= 0xFFFF and has_slot(ord(ch))


class Opencc:
    def __init__(self) -> None:
        self.program = shutil.which("opencc")
        if self.program is None or not (OPENCC_DATA / "s2t.json").is_file():
            raise OpenccError("opencc is not installed (needs the opencc program and "
                              f"{OPENCC_DATA}/s2t.json); run scripts/install-deps.sh")

    def convert(self, text: str, conversion: str) -> str:
        with tempfile.TemporaryDirectory(prefix="kolva-opencc-") as tmp:
            source, target = Path(tmp) / "in.txt", Path(tmp) / "out.txt"
            source.write_bytes(text.encode("utf-8"))
            result = subprocess.run(
                [self.program, "-c", f"{conversion}.json", "-i", str(source), "-o", str(target)],
                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if result.returncode != 0 or not target.is_file():
                raise OpenccError(f"opencc -c {conversion}.json failed: "
                                  + result.stderr.decode("utf-8", "replace").strip())
            return target.read_bytes().decode("utf-8")

    def convert_each(self, texts: list[str], conversion: str) -> list[str]:
        """Each text converted on its own (as one run, split again at a marker line)."""
        marker = "\n@@KOLVA-PAGE@@\n"
        if any(marker.strip() in text for text in texts):
            raise OpenccError("page text holds the page marker")
        converted = self.convert(marker.join(texts), conversion).split(marker)
        if len(converted) != len(texts):
            raise OpenccError(f"opencc -c {conversion}.json changed the page marker")
        return converted


class Groups:
    """Union-find over characters."""

    def __init__(self) -> None:
        self.parent: dict[str, str] = {}

    def find(self, ch: str) -> str:
        root = self.parent.setdefault(ch, ch)
        while root != self.parent[root]:
            root = self.parent[root]
        while ch != root:
            self.parent[ch], ch = root, self.parent[ch]
        return root

    def join(self, a: str, b: str) -> None:
        ra, rb = self.find(a), self.find(b)
        if ra != rb:
            self.parent[max(ra, rb)] = min(ra, rb)

    def groups(self) -> list[list[int]]:
        members: dict[str, list[int]] = {}
        for ch in self.parent:
            members.setdefault(self.find(ch), []).append(ord(ch))
        return sorted(sorted(group) for group in members.values() if len(group) > 1)


def build_groups(texts: list[str], aligned: list[tuple[str, str]], cc: Opencc) -> list[list[int]]:
    """Variant groups covering the characters of `texts`.

    Every character is converted by each of CONVERSIONS and joined with its result, and so are
    the results in turn until no new character turns up. `aligned` pairs a text with its
    conversion: the characters at the same place are joined as well, so that a phrase-level
    choice of the converter (头发 → 頭髮, where 发 alone gives 發) stays searchable."""
    groups = Groups()
    known = {ch for text in texts for ch in text if groupable(ch)}
    frontier = sorted(known)
    while frontier:
        found: set[str] = set()
        for conversion in CONVERSIONS:
            converted = cc.convert("\n".join(frontier) + "\n", conversion).split("\n")
            for ch, other in zip(frontier, converted):
                if other != ch and groupable(other):
                    groups.join(ch, other)
                    if other not in known:
                        found.add(other)
        known |= found
        frontier = sorted(found)
    for original, converted in aligned:
        for a, b in aligned_chars(original, converted):
            if a != b and groupable(a) and groupable(b):
                groups.join(a, b)
    result = groups.groups()
    if len(result) > MAX_GROUPS:
        raise OpenccError(f"{len(result)} variant groups, at most {MAX_GROUPS} have a slot")
    return result


def aligned_chars(original: str, converted: str):
    """Character pairs at the same place; lines whose length the conversion changed are skipped."""
    if len(original) == len(converted):
        yield from zip(original, converted)
        return
    a_lines, b_lines = original.split("\n"), converted.split("\n")
    if len(a_lines) == len(b_lines):
        for a, b in zip(a_lines, b_lines):
            if len(a) == len(b):
                yield from zip(a, b)


def table_bytes(groups: list[list[int]]) -> bytes:
    return "".join(",".join(f"{cp:X}" for cp in group) + "\n" for group in groups).encode("ascii")


def parse_table(data: bytes) -> list[list[int]]:
    return [[int(field, 16) for field in line.split(",") if field]
            for line in data.decode("ascii").split("\n") if line]
