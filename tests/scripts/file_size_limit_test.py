#!/usr/bin/env python3
"""The host program under a file size limit (ulimit -f): a save that has to
rebuild the file writes a copy beyond the limit. The write must fail and be
said, the file stay as it was and the copy go, instead of the program dying
of SIGXFSZ with a cut copy left beside the file."""
import argparse
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import junit_runner  # noqa: E402

ARGS = None


def mp3_audio():
    """Twenty MPEG-1 layer III frames of 417 bytes (128 kbit/s, 44.1 kHz) with no tag."""
    frame = b"\xff\xfb\x90\x64" + bytes(413)
    return frame * 20


class FileSizeLimit(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tagwright-fsize-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.content = mp3_audio()
        with open(os.path.join(self.dir, "held.mp3"), "wb") as f:
            f.write(self.content)
        # The file has no ID3v2 tag: one that is added rebuilds the file.
        self.script = os.path.join(self.dir, "save.txt")
        with open(self.script, "w", encoding="utf-8") as f:
            f.write("panel . cursor held.mp3\n"
                    "invoke menu\n"
                    "menu choose 0\n"
                    "dialog Id3Edit check \"ID3v2\"\n"
                    "dialog Id3Edit set \"Title\"#2 \"Typed\"\n"
                    "dialog Id3Edit press \"Save\"\n"
                    "message expect \"Cannot write the tags of the file\" button 0\n"
                    "dialog Id3Edit press \"Cancel\"\n"
                    "expect-end\n")

    def test_a_rebuild_beyond_the_limit_is_said_and_leaves_the_file_as_it_was(self):
        limit = len(self.content) + 1000

        def limited():
            # The signal as a shell passes it on: the default action.
            signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.RLIM_INFINITY))

        env = dict(os.environ, TAGWRIGHT_REGISTRY=os.path.join(self.dir, "registry.reg"))
        run = subprocess.run([os.path.abspath(ARGS.tagwright), "--script", self.script,
                              "--plugin", os.path.abspath(ARGS.plugin)],
                             cwd=self.dir, env=env, preexec_fn=limited, capture_output=True,
                             text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("Cannot write the tags of the file", run.stdout)
        with open(os.path.join(self.dir, "held.mp3"), "rb") as f:
            self.assertEqual(f.read(), self.content)
        left = [name for name in os.listdir(self.dir) if name.startswith("held.mp3")]
        self.assertEqual(left, ["held.mp3"])  # no copy left beside it


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--junit", help="write the results as JUnit XML to this file")
    ARGS = parser.parse_args()
    return junit_runner.run(sys.modules[__name__], "tagwright_file_size_limit", ARGS.junit)


if __name__ == "__main__":
    sys.exit(main())
