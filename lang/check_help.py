#!/usr/bin/env python3
"""Checks that every help topic the code names exists in every help file.

The plug-in hands the host help topics as string literals ("Id3Edit", "ID3Scheme");
the host shows an error page for a topic its help file lacks, so a misspelt or
forgotten topic only shows when a user presses F1. This scan finds the literals
"Id3..." and "ID3Scheme" in the source folders given (history names, which start
with "ID3_", do not match) and looks each one up in the help sources.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_lang import LANGUAGES  # noqa: E402

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


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--help-dir", required=True, help="folder of the .hlf sources")
    parser.add_argument("--stamp", help="file to touch when the check passes")
    parser.add_argument("folders", nargs="+", help="source folders to scan")
    args = parser.parse_args(argv)
    problems = check(args.help_dir, [f for f in args.folders if os.path.isdir(f)])
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
