#!/usr/bin/env python3
"""The documentation against the program: every option `kalvento --help` prints is in the
option list of docs/guide.md (its "Command line" block) and in the manual page's OPTIONS, every
key the player takes (printed by kalvento_list_keys from the key table) is in the manual page's
KEYS, every command `kalvento --list-commands` prints is in the guide's section "## Commands"
and in the manual page's COMMANDS, every link between the README, the guides and their
pictures leads somewhere, every option of a `kalvento` line in the manual page's examples and
the README's commands is one `--help` prints, and the manual page's kiosk and service examples
are the README's lines.
Usage: docs_test.py KALVENTO_BINARY LIST_KEYS_BINARY SOURCE_DIR"""
import os
import re
import subprocess
import sys


def help_options(player):
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    text = subprocess.run([player, "--help"], env=env, check=True, capture_output=True,
                          text=True).stdout
    # An option starts a line of the list or follows "-C, "; options named inside the
    # explanations (such as --camera-source in --camera-source-unpaced's) are listed anyway.
    return sorted(set(re.findall(r"(?:^|[ ,])(--?[A-Za-z][A-Za-z0-9-]*)", text, re.M)))


def guide_option_block(guide):
    """The first code block after the heading "## Command line"."""
    text = open(guide, encoding="utf-8").read()
    after = text.split("\n## Command line\n", 1)
    if len(after) < 2:
        sys.exit(f"FAIL: {guide} has no section '## Command line'")
    block = re.search(r"^```[^\n]*\n(.*?)^```", after[1], re.S | re.M)
    if not block:
        sys.exit(f"FAIL: the section '## Command line' of {guide} has no option list")
    return block.group(1)


def listed(option, lines, head):
    """Whether a line starts with `head` and then the option (after "-C, " or "-C DIR, ")."""
    pattern = re.compile(head + re.escape(option) + r"(?:[ ,]|$)")
    return any(pattern.match(line) for line in lines)


def manual_sections(page):
    env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="100")
    text = subprocess.run(["man", "-l", page], env=env, check=True, capture_output=True,
                          text=True).stdout
    sections, name = {}, None
    for line in text.splitlines():
        if re.match(r"^[A-Z]", line):
            name = line.strip()
            sections[name] = []
        elif name:
            sections[name].append(line)
    return sections


def listed_commands(player):
    """The command names of `kalvento --list-commands`: the first word of each line."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    text = subprocess.run([player, "--list-commands"], env=env, check=True, capture_output=True,
                          text=True).stdout
    return [line.split()[0] for line in text.splitlines() if line.strip()]


def guide_commands(guide):
    """The command names the guide's section "## Commands" lists: the first word of each line
    of its first code block."""
    text = open(guide, encoding="utf-8").read()
    after = text.split("\n## Commands\n", 1)
    if len(after) < 2:
        sys.exit(f"FAIL: {guide} has no section '## Commands'")
    block = re.search(r"^```[^\n]*\n(.*?)^```", after[1], re.S | re.M)
    if not block:
        sys.exit(f"FAIL: the section '## Commands' of {guide} has no command list")
    return {line.split()[0] for line in block.group(1).splitlines() if line.strip()}


def manual_commands(lines):
    """The command names the manual page's COMMANDS names: the first word of each tag."""
    return {m.group(1) for m in (re.match(r"^ {7}([a-z][a-z0-9-]*)\b", line) for line in lines) if m}


def manual_keys(lines):
    """The keys the KEYS section names: the tags at the start of its paragraphs, a comma ending
    a key name unless it is the key itself; "1 ... 9" names every key between."""
    named = set()
    for line in lines:
        m = re.match(r"^ {7}(\S.*?)(?: {2,}|$)", line)
        if not m:
            continue
        tokens = [t[:-1] if len(t) > 1 and t.endswith(",") else t for t in m.group(1).split()]
        named.update(tokens)
        for before, dots, after in zip(tokens, tokens[1:], tokens[2:]):
            if dots == "..." and len(before) == 1 and len(after) == 1:
                named.update(chr(c) for c in range(ord(before), ord(after) + 1))
    return named


def anchor(heading):
    """The anchor a Markdown viewer gives a heading: lower case, punctuation dropped."""
    return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")


def broken_links(source):
    """Links of the README and the guides to a file that is not there, or to a heading that
    is not in the file named."""
    documents = ["README.md", "docs/guide.md", "docs/developers.md"]
    broken = []
    for document in documents:
        text = open(os.path.join(source, document), encoding="utf-8").read()
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"[a-z]+:", target):
                continue  # http:, mailto:
            path, _, fragment = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(document), path or
                                                   os.path.basename(document)))
            full = os.path.join(source, linked)
            if not os.path.isfile(full):
                broken.append(f"{document}: {target}")
            elif fragment:
                headings = re.findall(r"^#+ (.*)$", open(full, encoding="utf-8").read(), re.M)
                if fragment not in {anchor(h) for h in headings}:
                    broken.append(f"{document}: {target}")
    return broken


def manual_examples(page):
    """The example blocks of the manual page (.EX ... .EE), each as the lines one types."""
    text = open(page, encoding="utf-8").read()
    blocks = re.findall(r"^\.EX\n(.*?)^\.EE", text, re.S | re.M)
    return [[line.replace("\\-", "-").replace("\\e", "\\") for line in block.splitlines()
             if line.strip()] for block in blocks]


def readme_blocks(source):
    """The README's code blocks, each as its lines without comments."""
    text = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    blocks = re.findall(r"^```[^\n]*\n(.*?)^```", text, re.S | re.M)
    return [[re.sub(r"\s+#.*$", "", line).rstrip() for line in block.splitlines() if line.strip()]
            for block in blocks]


def unknown_options(blocks, options):
    """Options of `kalvento` command lines that --help does not print."""
    unknown = []
    for block in blocks:
        for line in block:
            if not line.startswith("kalvento "):
                continue
            unknown += [f"{word} (in: {line})" for word in line.split()[1:]
                        if word.startswith("-") and word not in options and word != "--"]
    return unknown


# The examples the manual page and the README both give, each known by a word of its own.
SHARED_EXAMPLES = {"--fullscreen": "the kiosk", "systemctl --user enable": "the service"}


def differing_examples(manual, readme):
    """The shared examples whose lines differ between the manual page and the README."""
    differing = []
    for mark, name in SHARED_EXAMPLES.items():
        ours = [b for b in manual if any(mark in line for line in b)]
        theirs = [b for b in readme if any(mark in line for line in b)]
        if len(ours) != 1 or len(theirs) != 1:
            differing.append(f"{name}: {len(ours)} manual page and {len(theirs)} README blocks")
        elif ours[0] != theirs[0]:
            differing.append(f"{name}: the manual page has {ours[0]}, the README {theirs[0]}")
    return differing


def main():
    player, list_keys, source = sys.argv[1:4]
    guide = os.path.join(source, "docs", "guide.md")
    page = os.path.join(source, "scripts", "install", "kalvento.1")
    failures = []

    options = help_options(player)
    if len(options) < 10:
        failures.append(f"too few options found in --help: {options}")
    block = guide_option_block(guide).splitlines()
    sections = manual_sections(page)
    manual_options = sections.get("OPTIONS", [])
    missing = [o for o in options if not listed(o, block, r"^\s+(?:\S+, )*")]
    if missing:
        failures.append("options of --help missing from the option list of docs/guide.md: "
                        + " ".join(missing))
    missing = [o for o in options if not listed(o, manual_options, r"^ {7}(?:.*, )?")]
    if missing:
        failures.append("options of --help missing from the manual page: " + " ".join(missing))

    keys = subprocess.run([list_keys], check=True, capture_output=True, text=True).stdout.split()
    if len(keys) < 60:
        failures.append(f"too few keys from {list_keys}: {keys}")
    named = manual_keys(sections.get("KEYS", []))
    missing = [k for k in keys if k not in named]
    if missing:
        failures.append("keys missing from the manual page's KEYS: " + " ".join(missing))

    commands = listed_commands(player)
    if len(commands) < 60:
        failures.append(f"too few commands from --list-commands: {commands}")
    missing = [c for c in commands if c not in guide_commands(guide)]
    if missing:
        failures.append("commands missing from the section '## Commands' of docs/guide.md: "
                        + " ".join(missing))
    missing = [c for c in commands if c not in manual_commands(sections.get("COMMANDS", []))]
    if missing:
        failures.append("commands missing from the manual page's COMMANDS: " + " ".join(missing))
    manual = manual_examples(page)
    readme = readme_blocks(source)
    unknown = unknown_options(manual + readme, set(options))
    if unknown:
        failures.append("options of the examples that --help does not know: " + ", ".join(unknown))
    failures += ["examples that differ: " + d for d in differing_examples(manual, readme)]
    if len(manual) < 4:
        failures.append(f"too few example blocks in the manual page: {manual}")

    broken = broken_links(source)
    if broken:
        failures.append("links that lead nowhere: " + ", ".join(broken))

    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    if failures:
        return 1
    print(f"PASS: {len(options)} options in docs/guide.md and the manual page, "
          f"{len(keys)} keys and {len(commands)} commands in the manual page")
    return 0


if __name__ == "__main__":
    sys.exit(main())
