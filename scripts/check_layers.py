#!/usr/bin/env python3
"""Checks that the source folders include each other only downwards.

The folders stand in layers, lowest first; a file may include headers of its own folder and of
folders in lower layers, and of other folders of its own layer as long as no two folders
include each other. Prints every offending include and exits 1 when there is one.

    scripts/check_layers.py [ROOT]
"""
import pathlib
import re
import sys

# Lowest first. Folders of one layer may use each other one way only.
LAYERS = [
    ["platform"],
    ["core"],
    ["contents", "motion", "gesture", "input", "settings", "ipc", "remote", "display"],
    ["commands"],
    ["app"],
]
# Programs outside the player: they may use any folder, nothing may use them.
TOP = ["tests", "bench", "tools"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    rank = {folder: level for level, folders in enumerate(LAYERS) for folder in folders}
    for folder in TOP:
        rank[folder] = len(LAYERS)
    problems = []
    edges = {}
    for path in sorted(root.glob("*/**/*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        folder = path.relative_to(root).parts[0]
        if folder not in rank:
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if target == folder or target not in rank:
                continue
            where = f"{path.relative_to(root)}: includes {target}/"
            if rank[target] > rank[folder] or (target in TOP and folder not in TOP):
                problems.append(f"{where} from a higher layer")
            edges.setdefault((folder, target), where)
    for (a, b), where in sorted(edges.items()):
        if a < b and (b, a) in edges:
            problems.append(f"{where} while {edges[(b, a)]}: the two folders include each other")
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} layering problem(s)")
        return 1
    print("layers: every include goes down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
