#!/usr/bin/env python3
"""Checks that the source folders include each other only downwards, and that the fields with
one owner are written by their owner alone.

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

# Fields that one file alone writes: the position and the folder belong to playback, the
# turn's injected input to the input queue. Programs outside the player (tests, benchmarks)
# may set them up as they like.
OWNED_FIELDS = {
    "frame_no": "core/playback.cpp",
    "DirNum": "core/playback.cpp",
    "PendingKey": "core/input_queue.cpp",
    "PendingInput": "core/input_queue.cpp",
}


STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
# The field's own declaration with its start value.
DECLARATION = re.compile(r"^\s*(?:int|double|Input)\s+\w+\s*(?:=|;)")


def write_pattern(field: str) -> re.Pattern:
    """An assignment, compound assignment, increment or decrement of `field`."""
    return re.compile(
        rf"\b{field}\b\s*(?:[-+*/%&|^]?=(?!=)|\+\+|--)|(?:\+\+|--)\s*[\w.>-]*\b{field}\b")


def owned_field_writes(root: pathlib.Path, path: pathlib.Path) -> list:
    """Every line of `path` that writes a field owned by another file."""
    relative = path.relative_to(root).as_posix()
    text = path.read_text(encoding="utf-8", errors="replace")
    found = []
    for field, owner in OWNED_FIELDS.items():
        if relative == owner or field not in text:
            continue
        pattern = write_pattern(field)
        for number, line in enumerate(text.splitlines(), 1):
            code = STRING.sub('""', line).split("//", 1)[0]
            if pattern.search(code) and not DECLARATION.match(code):
                found.append(f"{relative}:{number}: writes {field}, which only {owner} may write")
    return found


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
        if folder not in TOP:
            problems.extend(owned_field_writes(root, path))
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
