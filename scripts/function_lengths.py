#!/usr/bin/env python3
"""Lists the longest functions of the product sources, in lines from the first line of the
signature to the closing brace.

    scripts/function_lengths.py [--top N] [--over LINES] [FOLDER or FILE ...]

Without folders it reads the product folders (app commands contents core gesture input ipc motion
platform remote settings) below the repository root. A brace counter, not a compiler: comments,
string and character literals and preprocessor lines are blanked first; a brace opens a
function body when the text before it at namespace or class level ends with a parameter list
(and qualifiers such as const, override, noexcept, a trailing return type or a constructor's
initialiser list). Lambdas and local classes count as part of the function around them. The
lines wholly inside a raw string literal (an embedded document such as the web remote's page)
are data and do not count. With --over it exits 1 when a function is longer than LINES, so it
can guard a limit.
"""

import argparse
import os
import re
import sys

PRODUCT_FOLDERS = ["app", "commands", "contents", "core", "gesture", "input", "ipc", "motion",
                   "platform", "remote", "settings"]
SOURCE_ENDINGS = (".cpp", ".h", ".hpp", ".cc")

QUALIFIERS = r"(?:\s|const\b|override\b|final\b|mutable\b|noexcept\b(?:\s*\([^()]*\))?|&|&&)*"
FUNCTION_HEAD = re.compile(r"\)" + QUALIFIERS + r"(?:->\s*[\w:<>,\s\*&]+)?$")
CONSTRUCTOR_HEAD = re.compile(r"\)\s*:(?!:)[\s\S]*[)}]\s*$")
SCOPE_HEAD = re.compile(r"(?:^|[\s;}])(namespace|class|struct|union|enum)\b[^()=]*$|extern\s*\"\"\s*$")


def blank_literals(text, data_lines=None):
    """The text with comments, literals and preprocessor lines replaced by spaces; line breaks
    are kept so that line numbers stay. The numbers of the lines wholly inside a raw string
    literal are added to `data_lines`."""
    out = []
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c == "#":
            # A preprocessor line, with its continuations.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    out.append(" \n")
                    i += 2
                    continue
                out.append(" ")
                i += 1
            continue
        if c == "/" and text.startswith("//", i):
            while i < n and text[i] != "\n":
                out.append(" ")
                i += 1
            continue
        if c == "/" and text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(re.sub(r"[^\n]", " ", text[i:end]))
            i = end
            continue
        raw = re.match(r'R"([^()\\\s]{0,16})\(', text[i:i + 20])
        if raw and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            closing = ")" + raw.group(1) + '"'
            end = text.find(closing, i + len(raw.group(0)))
            end = n if end < 0 else end + len(closing)
            if data_lines is not None:
                first = text.count("\n", 0, i) + 1
                last = text.count("\n", 0, end) + 1
                data_lines.update(range(first + 1, last))
            out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:end]))
            i = end
            continue
        if c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(" ")
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + c)
            i = j + 1
            continue
        if c == "\n":
            line_start = True
        elif not c.isspace():
            line_start = False
        out.append(c)
        i += 1
    return "".join(out)


def function_name(head):
    """The name before the parameter list of a function head."""
    depth = 0
    for k, c in enumerate(head):
        if c == "(":
            if depth == 0:
                before = head[:k].rstrip()
                match = re.search(r"(operator\s*\S+|~?[\w:]+)$", before)
                if match and not before.endswith("operator"):
                    return match.group(1)
            depth += 1
        elif c == ")":
            depth -= 1
    return "?"


def matching_brace(text, i):
    depth = 0
    for k in range(i, len(text)):
        if text[k] == "{":
            depth += 1
        elif text[k] == "}":
            depth -= 1
            if depth == 0:
                return k
    return len(text) - 1


def functions_of(path):
    """(name, first line, length) of every function body in the file."""
    data_lines = set()
    with open(path, encoding="utf-8", errors="replace") as f:
        text = blank_literals(f.read(), data_lines)
    found = []
    head_start = 0
    i = 0
    while i < len(text):
        c = text[i]
        if c in ";}":
            head_start = i + 1
        elif c == "{":
            head = text[head_start:i]
            stripped = head.strip()
            if SCOPE_HEAD.search(stripped):
                head_start = i + 1  # a namespace or class: its members are read one by one
            elif FUNCTION_HEAD.search(stripped) or CONSTRUCTOR_HEAD.search(stripped):
                end = matching_brace(text, i)
                first = head_start + (len(head) - len(head.lstrip()))
                first_line = text.count("\n", 0, first) + 1
                last_line = text.count("\n", 0, end) + 1
                data = sum(1 for line in data_lines if first_line <= line <= last_line)
                length = last_line - first_line + 1 - data
                found.append((function_name(stripped), first_line, length))
                i = end
                head_start = end + 1
            else:
                # An initialiser: skipped whole, it stays part of the head around it.
                i = matching_brace(text, i)
        i += 1
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folders", nargs="*")
    parser.add_argument("--top", type=int, default=15)
    parser.add_argument("--over", type=int, default=0)
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folders = args.folders or [os.path.join(root, f) for f in PRODUCT_FOLDERS]
    rows = []
    paths = []
    for folder in folders:
        if os.path.isfile(folder):
            paths.append(folder)
        for base, _, names in os.walk(folder):
            paths += [os.path.join(base, n) for n in sorted(names) if n.endswith(SOURCE_ENDINGS)]
    for path in paths:
        for fn, line, length in functions_of(path):
            rows.append((length, os.path.relpath(path, root), line, fn))
    rows.sort(key=lambda r: (-r[0], r[1], r[2]))
    for length, path, line, fn in rows[:args.top]:
        print(f"{length:5d}  {fn}  {path}:{line}")
    if args.over:
        longer = [r for r in rows if r[0] > args.over]
        if longer:
            for length, path, line, fn in longer:
                print(f"{length:5d}  {fn}  {path}:{line}", file=sys.stderr)
            print(f"{len(longer)} function(s) longer than {args.over} lines", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
