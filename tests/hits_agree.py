#!/usr/bin/env python3
"""Counts, concordance lines and marks agree, checked through kolva-search on a collection.

For many keywords drawn from the collection's own text (1 to 8 characters, punctuation, spaces
and line breaks between them included, "?" and "*", two words by AND and by OR, variants on and
off, every target) this compares

  - the total hits of the result list with the lines of --kwic (and its "lines: N"), and
  - for a few result pages of each search, the anchors of --compose with the page's hits.

Usage: hits_agree.py KOLVA_SEARCH DATA_DIR [--keywords N] [--pages K] [--seed S] [--verbose]
Exit status 0 when everything agrees, 1 with every difference listed.
"""

import argparse
import random
import re
import subprocess
import sys

TARGETS = ["full", "main", "notes"]
TOTALS = re.compile(r"全部で (\d+) 頁で、(\d+) 箇所でした。")
# Characters that start text to draw keywords from: common in Chinese verse and prose.
SEEDS = "之不人一山月天風日花春水無雲"


def run(args):
    done = subprocess.run(args, capture_output=True)
    if done.returncode not in (0,):
        raise RuntimeError(f"{' '.join(args)}: exit {done.returncode}: "
                           f"{done.stderr.decode('utf-8', 'replace').strip()}")
    return done.stdout.decode("utf-8", "replace"), done.stderr.decode("utf-8", "replace")


class Searcher:
    def __init__(self, program, data):
        self.program, self.data = program, data
        self.processes = 0

    def call(self, mode, keywords, target, variant, method):
        args = [self.program, "--data", self.data, "--target", target, "--variant", variant]
        if method == "or" and mode != "compose":
            args.append("--or")
        args += mode
        args += ["--", keywords]
        self.processes += 1
        return run(args)

    def rows(self, keywords, target, variant, method):
        out, _ = self.call([], keywords, target, variant, method)
        lines = out.rstrip("\n").split("\n")
        m = TOTALS.search(lines[-1]) if lines else None
        if not m:
            return None, []
        rows = []
        for line in lines[:-1]:
            f = line.split("\t")
            if len(f) == 6:
                rows.append((int(f[5]), int(f[4])))  # page index, hits
        return int(m.group(2)), rows

    def kwic(self, keywords, target, variant, method):
        out, err = self.call(["--kwic"], keywords, target, variant, method)
        m = re.search(r"lines: (\d+)", err)
        shown = out.count("\n")
        return shown, int(m.group(1)) if m else -1

    def anchors(self, page, keywords, target, variant):
        _, err = self.call(["--compose", str(page)], keywords, target, variant, "and")
        m = re.search(r"anchors: (\d+)", err)
        return int(m.group(1)) if m else -1


def texts_of(searcher, rng):
    """Stretches of visible text around hits of common characters, punctuation included."""
    found = []
    for seed in SEEDS:
        out, _ = run([searcher.program, "--data", searcher.data, "--kwic", "--context", "12",
                      "--limit", "400", "--", seed])
        for line in out.splitlines():
            f = line.split("\t")
            if len(f) == 9:
                found.append(f[6] + f[7] + f[8])
    rng.shuffle(found)
    return [t for t in found if len(t) >= 3]


def is_word_char(c):
    return c not in " \u3000\t" and c not in "?？*＊"


def draw_keywords(texts, count, rng):
    """(keywords, method) pairs: plain pieces, "?" and "*" words, AND and OR of two words."""
    out = []

    def piece(n):
        t = rng.choice(texts)
        n = min(n, len(t))
        at = rng.randrange(0, len(t) - n + 1)
        word = "".join(c for c in t[at:at + n] if is_word_char(c))
        return word or t[at]

    kinds = ["plain", "plain", "plain", "one", "gap", "and", "or", "pair"]
    while len(out) < count:
        kind = kinds[len(out) % len(kinds)]
        if kind == "plain":
            out.append((piece(rng.randint(1, 8)), "and"))
        elif kind == "one":
            w = piece(rng.randint(2, 6))
            if len(w) >= 2:
                k = rng.randrange(len(w))
                w = w[:k] + rng.choice("?？") + w[k + 1:]
            out.append((w, "and"))
        elif kind == "gap":
            t = rng.choice(texts)
            if len(t) < 4:
                continue
            a = rng.randrange(0, len(t) - 3)
            b = rng.randrange(a + 2, len(t) - 1)
            head = "".join(c for c in t[a:a + rng.randint(1, 2)] if is_word_char(c))
            tail = "".join(c for c in t[b:b + rng.randint(1, 2)] if is_word_char(c))
            if head and tail:
                out.append((head + "*" + tail, "and"))
        elif kind in ("and", "or"):
            out.append((piece(rng.randint(1, 3)) + " " + piece(rng.randint(1, 3)), kind))
        else:
            # Two words that overlap where they meet, so that their hits overlap on a page.
            w = piece(rng.randint(3, 5))
            if len(w) >= 3:
                out.append((w[:2] + " " + w[1:], "or"))
    # Always a few of the cases that once went wrong.
    out += [("哈哈", "and"), ("梅?臣", "and"), ("明月 月", "or"), ("之", "and")]
    return out


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("program")
    p.add_argument("data")
    p.add_argument("--keywords", type=int, default=240)
    p.add_argument("--pages", type=int, default=2, help="result pages composed per search")
    p.add_argument("--seed", type=int, default=24)
    p.add_argument("--verbose", action="store_true")
    a = p.parse_args()

    rng = random.Random(a.seed)
    searcher = Searcher(a.program, a.data)
    texts = texts_of(searcher, rng)
    if not texts:
        print("no text found to draw keywords from", file=sys.stderr)
        return 1
    keywords = draw_keywords(texts, a.keywords, rng)
    faults = []
    checked = found = composed = 0
    total_hits = 0
    for n, (words, method) in enumerate(keywords):
        target = TARGETS[n % 3]
        variant = "on" if (n // 3) % 2 == 0 else "off"
        what = f"{words!r} --target {target} --variant {variant}" + (" --or" if method == "or" else "")
        total, rows = searcher.rows(words, target, variant, method)
        if total is None:
            faults.append(f"{what}: no totals line")
            continue
        checked += 1
        total_hits += total
        found += total > 0
        shown, said = searcher.kwic(words, target, variant, method)
        if shown != total or said != total:
            faults.append(f"{what}: {total} hits, --kwic {shown} lines (says {said})")
        pages = rows if len(rows) <= a.pages else rng.sample(rows, a.pages)
        for page, hits in pages:
            composed += 1
            anchors = searcher.anchors(page, words, target, variant)
            if anchors != hits:
                faults.append(f"{what}: page {page} counts {hits}, --compose {anchors} anchors")
        if a.verbose:
            print(f"{what}\t{total}\t{len(rows)} pages", flush=True)
    if found == 0:
        faults.append("no search found anything: the check compared nothing")
    for f in faults:
        print(f)
    print(f"{checked} searches ({found} with hits, {total_hits} hits in all), {composed} pages "
          f"composed, {searcher.processes} runs: {len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
