#!/usr/bin/env python3
"""The readme files of the FAR archive and the Debian package list the operations menu as the plug-in shows it:
the same items, in the same order, in English and in Russian."""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import junit_runner  # noqa: E402

ARGS = None
SOURCE = os.path.join(HERE, "..", "..")
README = {"English": ["ReadmeEng.txt", "README.Linux"], "Russian": ["ReadmeRus.txt"]}


def shown_menu(language):
    """The items of the operations menu, from the transcript of the plug-in invoked from the menu."""
    with tempfile.TemporaryDirectory(prefix="tagwright-readme-") as work:
        script = os.path.join(work, "menu.txt")
        with open(script, "w", encoding="utf-8") as f:
            f.write("panel .\ninvoke menu\nmenu * esc\nexpect-end\n")
        env = dict(os.environ, TAGWRIGHT_REGISTRY=os.path.join(work, "registry.reg"))
        result = subprocess.run([ARGS.tagwright, "--script", script, "--plugin", ARGS.plugin, "--lang", language],
                                cwd=work, env=env, capture_output=True, timeout=120)
    transcript = result.stdout.decode("utf-8")
    if result.returncode != 0:
        raise AssertionError(transcript + result.stderr.decode("utf-8", "replace"))
    menu = transcript[transcript.index("== invoke menu"):]
    return re.findall(r'^  \[\d+\] "(.*)"$', menu.split("highlighted")[0], re.M)


def readme_menu(name):
    """The numbered lines of the readme's list of operations (the source is UTF-8)."""
    with open(os.path.join(SOURCE, "package", name), encoding="utf-8") as f:
        return [m.group(1) for m in re.finditer(r"^  (\d\. .*)$", f.read(), re.M)]


class ReadmeMenu(unittest.TestCase):
    def test_readme_lists_the_menu_as_the_plugin_shows_it(self):
        for language, names in README.items():
            shown = shown_menu(language)
            self.assertGreaterEqual(len(shown), 5)
            for name in names:
                with self.subTest(name):
                    self.assertEqual(readme_menu(name), shown)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--junit")
    ARGS = parser.parse_args()
    ARGS.tagwright, ARGS.plugin = os.path.abspath(ARGS.tagwright), os.path.abspath(ARGS.plugin)
    return junit_runner.run(sys.modules[__name__], "tagwright_readme_menu", ARGS.junit)


if __name__ == "__main__":
    sys.exit(main())
