#!/usr/bin/env python3
"""Checks the code against the language sources: help topics and dialog tables.

The plug-in hands the host help topics as string literals ("Id3Edit", "ID3Scheme");
the host shows an error page for a topic its help file lacks, so a misspelt or
forgotten topic only shows when a user presses F1. This scan finds the literals
"Id3..." and "ID3Scheme" in the source folders given (history names, which start
with "ID3_", do not match) and looks each one up in the help sources.

The hot-key check of gen_lang.py works on its DIALOGS table; this scan reads each item
table the table names (the DialogItemSpec array in the code) and checks that its items
with hot keys (messages with a 'key' rule, literal texts holding '&') are those of
DIALOGS in the same order, so that a dialog that gains, loses or repeats an item cannot
slip past the hot-key check. A row of such a table reads

    {ItemName, Type, X1, Y1, X2, Y2, Focus, Selected, Flags, DefaultButton, Data, History},

where Data is a message name or host::SpecText("text") / SpecText(constant); the
compiler checks that the names and the positions of the rows agree.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_lang import DIALOGS, LANGUAGES, Errors, read_messages  # noqa: E402

TOPIC_LITERAL_RE = re.compile(r'"(Id3[A-Za-z0-9]*|ID3Scheme)"')
SOURCE_SUFFIXES = (".cpp", ".cc", ".c", ".h", ".hpp", ".inc")


def help_topics(path):
    with open(path, encoding="utf-8") as f:
        return {line.rstrip("\r\n")[1:] for line in f
                if line.startswith("@") and line.rstrip("\r\n") not in ("@-", "@+")}


def topics_in_code(folders):
    """Gives {topic: [file:line, ...]} for the topic literals under the folders."""
    found = {}
    for folder in folders:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        for m in TOPIC_LITERAL_RE.finditer(line):
                            found.setdefault(m.group(1), []).append(f"{path}:{number}")
    return found


def check(help_dir, folders):
    problems = []
    used = topics_in_code(folders)
    for _, _, _, stem in LANGUAGES:
        path = os.path.join(help_dir, stem + ".hlf")
        topics = help_topics(path)
        for topic, places in sorted(used.items()):
            if topic not in topics:
                problems.append(f"{places[0]}: help topic \"{topic}\" is not in {os.path.basename(path)}")
    return problems


SPEC_TEXT_RE = re.compile(r'(?:host::)?SpecText\(\s*(?:"((?:[^"\\]|\\.)*)"|([A-Za-z_]\w*))\s*\)')
CONSTANT_RE = re.compile(r'constexpr\s+char\s+(\w+)\s*\[\]\s*=\s*"((?:[^"\\]|\\.)*)"')


def table_body(text, table):
    """The text between the braces of `DialogItemSpec table[...] = { ... };`, or None."""
    m = re.search(r"DialogItemSpec\s+" + re.escape(table) + r"\s*\[[^\]]*\]\s*=\s*\{", text)
    if not m:
        return None
    depth, i = 1, m.end()
    while i < len(text) and depth:
        depth += {"{": 1, "}": -1}.get(text[i], 0)
        i += 1
    return text[m.end():i - 1]


ROW_FIELDS = 12
DATA_FIELD = 10


def split_fields(row):
    """The fields of a table row, split at the commas outside literals and parentheses."""
    fields, depth, start, i = [], 0, 0, 0
    while i < len(row):
        c = row[i]
        if c == '"':
            i += 1
            while i < len(row) and row[i] != '"':
                i += 2 if row[i] == "\\" else 1
        elif c in "([":
            depth += 1
        elif c in ")]":
            depth -= 1
        elif c == "," and depth == 0:
            fields.append(row[start:i].strip())
            start = i + 1
        i += 1
    last = row[start:].strip()
    if last:
        fields.append(last)
    return fields


def table_rows(body):
    """The rows of a table body, each as its list of fields (comments left out)."""
    body = re.sub(r"(?m)(^|,)\s*//.*$", r"\1", body)
    return [split_fields(row) for row in re.findall(r"\{([^{}]*)\}", body)]


def check_dialog_tables(project_dir, messages):
    """Compares each DialogItemSpec table the DIALOGS table names with its entry there."""
    problems = []
    by_name = {m.name: m for m in messages}
    constants = {}
    for root, dirs, files in os.walk(os.path.join(project_dir, "src")):
        for name in files:
            if name.endswith(SOURCE_SUFFIXES):
                with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                    constants.update(CONSTANT_RE.findall(f.read()))
    for dialog, layout in DIALOGS.items():
        if layout["code"] is None:
            continue
        path, table = layout["code"]
        try:
            with open(os.path.join(project_dir, path), encoding="utf-8") as f:
                body = table_body(f.read(), table)
        except OSError as e:
            problems.append(f"{path}: {e.strerror}")
            continue
        if body is None:
            problems.append(f"{path}: the item table {table} of the {dialog} dialog is not there")
            continue
        found = []
        frames = []  # the widths inside the frame boxes of the table
        for number, fields in enumerate(table_rows(body)):
            if len(fields) != ROW_FIELDS:
                problems.append(f"{path}: row {number} of {table} has {len(fields)} fields, not the "
                                f"{ROW_FIELDS} of {{ItemName, Type, ..., Data, History}}")
                continue
            if fields[1] in ("DI_DOUBLEBOX", "DI_SINGLEBOX") and fields[2].isdigit() and fields[4].isdigit():
                frames.append(int(fields[4]) - int(fields[2]) - 1)
            data = fields[DATA_FIELD]
            literal = SPEC_TEXT_RE.fullmatch(data)
            if literal:
                text = literal.group(1) if literal.group(1) is not None else constants.get(literal.group(2), "")
                if "&" in text:
                    found.append(text)
                continue
            m = by_name.get(data)
            if m is not None and m.rules["key"] != "none":
                found.append(m.number)
        if layout["inner"] is not None and frames and frames[0] != layout["inner"]:
            problems.append(f"{path}: the frame of {table} is {frames[0]} columns wide inside; gen_lang.py "
                            f"checks the {dialog} dialog's buttons against {layout['inner']}")
        if found != layout["items"]:
            problems.append(f"{path}: the hot-key items of {table} ({', '.join(map(str, found))}) differ from "
                            f"those gen_lang.py checks for the {dialog} dialog "
                            f"({', '.join(map(str, layout['items']))})")
    return problems


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--help-dir", required=True, help="folder of the .hlf sources")
    parser.add_argument("--stamp", help="file to touch when the check passes")
    parser.add_argument("folders", nargs="+", help="source folders to scan")
    args = parser.parse_args(argv)
    problems = check(args.help_dir, [f for f in args.folders if os.path.isdir(f)])
    errors = Errors()
    messages = read_messages(os.path.join(args.help_dir, "messages.tsv"), errors)
    problems += errors.items or check_dialog_tables(os.path.dirname(os.path.abspath(args.help_dir)), messages)
    for p in problems:
        print(f"check_help: {p}", file=sys.stderr)
    if problems:
        return 1
    if args.stamp:
        with open(args.stamp, "w") as f:
            f.write("help topics checked\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
