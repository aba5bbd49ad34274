#!/usr/bin/env python3
"""Checks the source layout: each folder of src/ includes only folders of lower layers (or its
own), no two files include each other, and the core includes no Qt header.

    tests/layers_test.py [ROOT]

Prints every include that breaks a rule and exits 1; exits 0 when there is none."""
import pathlib
import re
import sys

# Lower number = lower layer. Folders of equal number are peers and may not include each other.
CORE = ["platform", "text", "pagestore", "index", "catalogue", "concordance", "writer", "builder"]
WINDOWS = [["ui"], ["view", "controls"], ["pane"], ["shell"], ["app"]]
RANK = {name: i for i, name in enumerate(CORE)}
for i, names in enumerate(WINDOWS):
    for name in names:
        RANK[name] = len(CORE) + i

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
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
    for a, targets in edges.items():
        for b in targets:
            if a in edges.get(b, ()) and a < b:
                faults.append(f"{a} and {b} include each other")
    for fault in faults:
        print(fault)
    print(f"{len(edges)} files checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
