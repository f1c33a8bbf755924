#!/usr/bin/env python3
"""Writes the text files of the FAR release: each UTF-8 source with @VERSION@
filled in, CRLF line ends, in the code page named after its path (ascii for the
English files, cp866 for the Russian readme, as FAR users read them)."""

import argparse
import os
import sys


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--out", required=True, help="output folder")
    parser.add_argument("files", nargs="+", help="SOURCE:CODEPAGE")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    for item in args.files:
        source, codepage = item.rsplit(":", 1)
        with open(source, encoding="utf-8") as f:
            text = f.read().replace("@VERSION@", args.version)
        lines = text.rstrip("\n").split("\n")
        try:
            data = ("\r\n".join(lines) + "\r\n").encode(codepage)
        except UnicodeEncodeError as e:
            print(f"dos_text: {source}: '{text[e.start:e.end]}' has no place in {codepage}", file=sys.stderr)
            return 1
        with open(os.path.join(args.out, os.path.basename(source)), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
