#!/usr/bin/env python3
"""Checks the source layout: each folder of src/ includes only folders of lower layers (or its
own), no loop of includes of any length (a header and its source file counted as one unit, so
that a.cpp including b.h while b.h includes a.h is a loop too), and the core includes no Qt
header.

    tests/layers_test.py [ROOT]
    tests/layers_test.py --self-check

Prints every include that breaks a rule and exits 1; exits 0 when there is none. --self-check
runs the checks on small trees of its own, with and without faults, and exits 1 when a verdict
is wrong."""
import pathlib
import re
import sys

# Lower number = lower layer. Folders of equal number are peers and may not include each other.
CORE = ["platform", "text", "pagestore", "index", "catalogue", "concordance", "writer", "builder",
        "import"]
WINDOWS = [["ui"], ["view", "controls", "session"], ["pane"], ["shell"], ["app"]]
RANK = {name: i for i, name in enumerate(CORE)}
for i, names in enumerate(WINDOWS):
    for name in names:
        RANK[name] = len(CORE) + i

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def unit(path):
    """A header and its source file are one unit: index/pairs.h and index/pairs.cpp are index/pairs."""
    return path.rsplit(".", 1)[0]


def include_loops(edges):
    """Every loop in the include graph between units, each reported once (from its smallest unit)."""
    graph = {}
    for source, targets in edges.items():
        for target in targets:
            if unit(target) != unit(source):
                graph.setdefault(unit(source), set()).add(unit(target))
    loops, seen = [], set()
    state = {}  # unit -> 1 while on the current path, 2 when done
    path = []

    def visit(node):
        state[node] = 1
        path.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == 1:
                loop = path[path.index(nxt):]
                start = loop.index(min(loop))
                loop = loop[start:] + loop[:start]
                if tuple(loop) not in seen:
                    seen.add(tuple(loop))
                    loops.append(loop + [loop[0]])
            elif nxt not in state:
                visit(nxt)
        path.pop()
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node)
    return loops


def check(root):
    """Prints the faults of the tree at root; returns their number."""
    src = root / "src"
    faults = []
    edges = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        rel = path.relative_to(src).as_posix()
        folder = rel.split("/")[0]
        if folder not in RANK:
            faults.append(f"{rel}: folder '{folder}' has no layer (add it to {__file__})")
            continue
        for kind, target in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if kind == "<":
                if folder in CORE and (target.startswith("Q") or target.startswith("qt")):
                    faults.append(f"{rel}: the core includes Qt <{target}>")
                continue
            other = target.split("/")[0]
            if other not in RANK:
                continue  # a header beside the file, or outside src/
            edges.setdefault(rel, set()).add(target)
            if other != folder and RANK[other] >= RANK[folder]:
                faults.append(f"{rel}: includes {target}, which is not in a lower layer")
            if folder in CORE and other not in CORE:
                faults.append(f"{rel}: the core includes the windows' {target}")
    faults += [f"a loop of includes: {' -> '.join(loop)}" for loop in include_loops(edges)]
    for fault in faults:
        print(fault)
    print(f"{len(edges)} files checked, {len(faults)} faults")
    return len(faults)


# Small trees and how many faults each must show.
SELF_CHECKS = [
    ("clean", {"index/a.h": '#include "platform/f.h"', "platform/f.h": ""}, 0),
    ("two files include each other", {"index/a.h": '#include "index/b.h"',
                                      "index/b.h": '#include "index/a.h"'}, 1),
    ("a loop through three units, one of them by its source file",
     {"index/a.h": '#include "index/b.h"', "index/b.h": '#include "index/c.h"',
      "index/c.cpp": '#include "index/a.h"'}, 1),
    ("an include up a layer", {"platform/f.h": '#include "index/a.h"', "index/a.h": ""}, 1),
    ("Qt in the core", {"text/t.h": "#include <QString>"}, 1),
]


def self_check():
    import tempfile
    wrong = 0
    for name, files, expected in SELF_CHECKS:
        with tempfile.TemporaryDirectory() as root:
            for rel, text in files.items():
                path = pathlib.Path(root, "src", rel)
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_text(text + "\n", encoding="utf-8")
            found = check(pathlib.Path(root))
        if found != expected:
            print(f"self-check '{name}': {found} faults, expected {expected}")
            wrong += 1
    return 1 if wrong else 0


def main():
    if sys.argv[1:] == ["--self-check"]:
        return self_check()
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    return 1 if check(root) else 0


if __name__ == "__main__":
    sys.exit(main())
