#!/usr/bin/env python3
"""The DLL loads on Windows XP (FAR 1.70's system): every function it imports is one that
XP exports (tests/package/xp_exports.txt), and it imports from no other DLL than those."""

import argparse
import os
import re
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import junit_runner  # noqa: E402

ARGS = None


def xp_exports():
    exports = set()
    with open(os.path.join(HERE, "xp_exports.txt"), encoding="ascii") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                dll, name = line.split()
                exports.add((dll.lower(), name))
    return exports


def imports(dll_path):
    """(dll, function) pairs of the import table, as objdump -p lists them."""
    # objdump's headings in English, whatever the locale (the Windows tests run in a Russian one).
    env = dict(os.environ, LC_ALL="C")
    table = subprocess.run([ARGS.objdump, "-p", dll_path], check=True, capture_output=True, text=True,
                           env=env).stdout
    found, dll = [], None
    for line in table.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
        elif not line.strip():
            dll = None
        elif dll:
            entry = re.match(r"\s*[0-9a-f]+\s+(\d+)\s+(\S+)$", line)
            if entry:
                found.append((dll, entry.group(2)))
    return found


class XpImports(unittest.TestCase):
    def test_every_import_is_exported_by_windows_xp(self):
        known = xp_exports()
        table = imports(ARGS.dll)
        self.assertTrue(any(dll == "kernel32.dll" for dll, _ in table), "no import table read")
        missing = sorted(f"{dll} {name}" for dll, name in table if (dll, name) not in known)
        self.assertEqual(missing, [], "imports that Windows XP does not export")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", required=True)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--junit")
    ARGS = parser.parse_args()
    return junit_runner.run(sys.modules[__name__], "tagwright_xp_imports", ARGS.junit)


if __name__ == "__main__":
    sys.exit(main())
