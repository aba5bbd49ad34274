#!/usr/bin/env python3
"""Makes the sample collection source from Debian's fortunes-zh poems.

    make-source.py OUTDIR

OUTDIR receives a collection source for kolva-build (docs/collection-format.md):

    唐詩   唐詩三百首                 tang300/01 … (about 50 poems a volume)
           唐詩三百首（繁體字版）     tang300-trad/01 …, the same poems through opencc s2t
    宋詩   宋詩一百首                 song100/01 …
    唐宋詞 唐宋詞選                   ci/01 …

One poem a page: its title, the author line as a note, the poem. yitizi.txt groups the
simplified, traditional and Japanese forms of every character of the pages (see variants.py).
The same fortunes-zh and opencc give the same bytes.
"""

from __future__ import annotations

import sys

sys.dont_write_bytecode = True

from pathlib import Path  # noqa: E402

import fortunes  # noqa: E402
import variants  # noqa: E402
from source_writer import (SourceError, SourceWriter, as_note, as_text,  # noqa: E402
                           chinese_numeral, partial_folder, replace_folder, split_even)

POEMS_PER_VOLUME = 50

# (category, [(book title, anthology key, folder, converted by opencc s2t)])
LAYOUT = [
    ("唐詩", [("唐詩三百首", "tang300", "tang300", False),
              ("唐詩三百首（繁體字版）", "tang300", "tang300-trad", True)]),
    ("宋詩", [("宋詩一百首", "song100", "song100", False)]),
    ("唐宋詞", [("唐宋詞選", "ci", "ci", False)]),
]

HEADER = """Sample collection made by sample/make-source.py from Debian's fortunes-zh poems.
唐詩三百首（繁體字版） is 唐詩三百首 converted with opencc s2t."""


def poem_page(poem: fortunes.Poem) -> str:
    """A .txt page: the title and, on the next line, the author line as a note; then the poem
    as the following paragraphs."""
    head = as_text(poem.title) + "\n" + as_note(poem.author)
    return head + "\n\n" + "\n".join(as_text(line) for line in poem.lines) + "\n"


def make_source(out: Path, cc: variants.Opencc) -> dict:
    anthologies = fortunes.load()
    pages_of = {key: [poem_page(p) for p in a.poems] for key, a in anthologies.items()}
    converted: dict[str, list[str]] = {}
    for _, books in LAYOUT:
        for _, key, _, convert in books:
            if convert and key not in converted:
                converted[key] = cc.convert_each(pages_of[key], "s2t")

    partial = partial_folder(out)
    writer = SourceWriter(partial)
    all_pages: list[str] = []
    for category, books in LAYOUT:
        writer.category(category)
        for title, key, folder, convert in books:
            writer.book(title)
            pages = converted[key] if convert else pages_of[key]
            all_pages += pages
            for number, run in enumerate(split_even(pages, POEMS_PER_VOLUME), 1):
                writer.volume(f"卷{chinese_numeral(number)}", f"{folder}/{number:02d}", run)

    aligned = [pair for key in converted for pair in zip(pages_of[key], converted[key])]
    groups = variants.build_groups(all_pages, aligned, cc)
    writer.finish(HEADER, variants.table_bytes(groups))
    replace_folder(partial, out)
    return {"pages": len(all_pages), "entries": len(writer.entries), "groups": len(groups)}


def main(argv: list[str]) -> int:
    if len(argv) != 2 or argv[1].startswith("-"):
        print(f"usage: {Path(argv[0]).name} OUTDIR", file=sys.stderr)
        return 2
    try:
        cc = variants.Opencc()
        figures = make_source(Path(argv[1]), cc)
    except (fortunes.FortunesError, variants.OpenccError, SourceError, OSError) as error:
        print(f"make-source: {error}", file=sys.stderr)
        return 1
    print(f"make-source: {argv[1]}: {figures['pages']} pages, {figures['entries']} catalogue "
          f"entries, {figures['groups']} variant groups")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
