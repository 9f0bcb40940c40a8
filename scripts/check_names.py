#!/usr/bin/env python3
"""Checks that no two functions of the product have names that differ only by case
(ReadParameters beside readParameters), so that a name says one thing.

    scripts/check_names.py [ROOT] [--allow NAME ...]

Reads the function bodies of the product folders as scripts/function_lengths.py finds them;
a member counts by its own name (Player::readParameters is readParameters). Constructors and
destructors are named by their types and do not count. Prints every group of names that differ
only by case, with where each is defined, and exits 1 when there is one that --allow (a name
in lower case) does not let through.
"""

import argparse
import collections
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import function_lengths  # noqa: E402

TYPE_NAME = re.compile(r"\b(?:class|struct|union|enum(?:\s+class)?)\s+(\w+)")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", nargs="?",
                        default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--allow", action="append", default=[])
    args = parser.parse_args()
    root = args.root
    paths = []
    for folder in function_lengths.PRODUCT_FOLDERS + ["display"]:
        for base, _, names in os.walk(os.path.join(root, folder)):
            paths += [os.path.join(base, n) for n in sorted(names)
                      if n.endswith(function_lengths.SOURCE_ENDINGS)]
    types = set()
    for path in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            types.update(TYPE_NAME.findall(function_lengths.blank_literals(f.read())))
    spellings = collections.defaultdict(lambda: collections.defaultdict(list))
    for path in paths:
        for name, line, _ in function_lengths.functions_of(path):
            own = name.split("::")[-1]
            if own.startswith("~") or own in types or own.startswith("operator") or own == "?":
                continue
            spellings[own.lower()][own].append(f"{os.path.relpath(path, root)}:{line}")
    clashes = [names for lower, names in sorted(spellings.items())
               if len(names) > 1 and lower not in args.allow]
    for names in clashes:
        print(" / ".join(f"{name} ({', '.join(places)})" for name, places in sorted(names.items())))
    if clashes:
        print(f"{len(clashes)} group(s) of function names that differ only by case")
        return 1
    print("names: no two functions differ only by case")
    return 0


if __name__ == "__main__":
    sys.exit(main())
