#!/usr/bin/env python3
"""Tag text through every tag code page the plug-in offers, with "Write ID3v2
text in Unicode" on and off, in titles of each of the four ID3v2 text
encodings (0 ISO-8859-1, really the tag code page's bytes; 1 UTF-16 with byte
order mark; 2 UTF-16BE; 3 UTF-8).

For each code page and setting the plug-in, run by the host stand-in from a
script, opens two copies of a file per encoding in the information view:

- one it saves without an edit: the title is shown as the host's text can
  show it, and the file keeps every byte;
- one whose ID3v2 title is typed over and saved: mutagen, eyeD3 and kid3-cli
  read the typed text (in UTF-16 with the option on; without it the tag code
  page's bytes under encoding 0, which they read as ISO-8859-1), and every
  other frame as before.

The code pages come from the configuration dialog's own list. A text is only
typed where the host's text (OEM, or UTF-8 where the host speaks it) and,
without the option, the tag code page can hold it; a code page with no such
text for a setting is skipped."""
import argparse
import codecs
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import junit_runner  # noqa: E402
import save_interop_test as peers  # noqa: E402  (fixtures' audio and the peers' readers)

ARGS = None

# Old titles in 8-bit frames: the first the code page holds, beyond ASCII.
EIGHT_BIT_SAMPLES = ["Перемен", "Café olé", "Ωmega", "Źródło"]
# Old titles of Unicode frames: beyond any one code page.
UNICODE_TITLE = "Ωmega Группа 東京"
# What the user types: the first that the host's text and the tag code page
# (unless written in Unicode) can hold.
TYPED_SAMPLES = ["Ёлка №5 (live)", "Привет (live)", "Café (live)", "Ωmega (live)", "Źródło (live)"]
ARTIST = {0: None, 1: "Ærø Группа", 2: "Ærø Группа", 3: "Ærø Группа"}

PYTHON_CODECS = {"KOI8-R": "koi8_r", "KOI8-U": "koi8_u"}


def python_codec(name, oem, ansi):
    """Python's codec for a code page of the configuration's list, or None."""
    if name == "Dos text":
        return "cp%d" % oem
    if name == "Windows text":
        return "cp%d" % ansi
    try:
        return codecs.lookup(PYTHON_CODECS.get(name, name)).name
    except LookupError:
        return None


def holds(text, codec):
    try:
        text.encode(codec)
        return True
    except UnicodeEncodeError:
        return False


# ---------------------------------------------------------------- tags built here

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def encoded(text, encoding, codec):
    if encoding == 0:
        return text.encode(codec)
    if encoding == 1:
        return codecs.BOM_UTF16_LE + text.encode("utf-16-le")
    if encoding == 2:
        return text.encode("utf-16-be")
    return text.encode("utf-8")


def text_frame(frame_id, text, encoding, codec, version):
    data = bytes([encoding]) + encoded(text, encoding, codec)
    size = syncsafe(len(data)) if version == 4 else struct.pack(">I", len(data))
    return frame_id.encode() + size + b"\0\0" + data


def comment_frame(version):
    data = b"\0eng" + b"note\0" + b"Old comment"
    size = syncsafe(len(data)) if version == 4 else struct.pack(">I", len(data))
    return b"COMM" + size + b"\0\0" + data


def old_tag(encoding, codec, title):
    """A tag whose title and artist are in `encoding` (2.4 for the encodings
    only 2.4 has), with an album and a comment, and padding."""
    version = 4 if encoding >= 2 else 3
    frames = text_frame("TIT2", title, encoding, codec, version)
    if ARTIST[encoding]:
        frames += text_frame("TPE1", ARTIST[encoding], encoding, codec, version)
    frames += text_frame("TALB", "Album X", 0, codec, version) + comment_frame(version)
    body = frames + bytes(256)
    return b"ID3" + bytes([version, 0, 0]) + syncsafe(len(body)) + body


# ---------------------------------------------------------------- the plug-in

def host_path(path):
    return "Z:" + path.replace("/", "\\") if ARGS.wine else path


def play(folder, lines):
    """Runs the script `lines` in the host stand-in; its transcript, and
    whether it ran to its end."""
    script = os.path.join(folder, "script.txt")
    with open(script, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    command = [ARGS.tagwright, "--script", host_path(script), "--plugin", host_path(ARGS.plugin),
               "--lang", "English"]
    env = dict(os.environ)
    if ARGS.wine:
        command = ["wine"] + command
        env["FARUSER"] = "TagwrightCodePageRoundTrip"
    else:
        env["TAGWRIGHT_REGISTRY"] = os.path.join(folder, "registry.reg")
    done = subprocess.run(command, cwd=folder, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=900)
    return done.stdout.decode("utf-8", "replace"), done.returncode == 0


def offered_code_pages(folder):
    """The tag code pages of the configuration dialog's list, in its order."""
    transcript, _ = play(folder, ["invoke configure", 'dialog Id3Config press "Cancel"'])
    match = re.search(r'COMBOBOX "[^"]*" drop-down list\[\d+\] (.*) at \d+', transcript)
    if not match:
        raise RuntimeError("no code page list in the transcript:\n" + transcript)
    return [entry for entry in re.findall(r'"([^"]*)"', match.group(1))]


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


# ---------------------------------------------------------------- the cases

class Setting:
    def __init__(self, page, codec, unicode):
        self.page, self.codec, self.unicode = page, codec, unicode
        self.name = re.sub(r"\W+", "_", page) + ("_unicode" if unicode else "_8bit")


class Prepared:
    """What one run of the plug-in for a setting left: per encoding the files
    before and after, or why the setting was skipped."""

    def __init__(self):
        self.skip = None
        self.failure = None
        self.typed = None
        self.before = {}  # encoding -> bytes of the file as made
        self.unchanged = {}  # encoding -> bytes of the copy saved without an edit
        self.edited = {}  # encoding -> path of the copy with the typed title


PREPARED = {}


def prepare(setting):
    if setting.name in PREPARED:
        return PREPARED[setting.name]
    p = PREPARED[setting.name] = Prepared()
    # The host's text: OEM, or UTF-8 (which holds everything).
    host = "utf-8" if ARGS.host_text == "utf8" else "cp%d" % ARGS.oem
    typeable = [t for t in TYPED_SAMPLES
                if holds(t, host) and (setting.unicode or holds(t, setting.codec))]
    samples = [t for t in EIGHT_BIT_SAMPLES if holds(t, setting.codec)]
    if not typeable or not samples:
        p.skip = "no text that %s and the host's %s can both hold" % (setting.page, host)
        return p
    p.typed = typeable[0]
    folder = os.path.join(WORK, setting.name)
    music = os.path.join(folder, "music")
    os.makedirs(music)
    with open(BASE, "rb") as f:
        audio = f.read()
    lines = ["invoke configure",
             "dialog Id3Config select %s %s" % (quoted("Tag text code page"), quoted(setting.page)),
             "dialog Id3Config %s %s" % ("check" if setting.unicode else "uncheck",
                                         quoted("Write ID3v2 text in Unicode")),
             'dialog Id3Config press "OK"']
    for encoding in range(4):
        title = samples[0] if encoding == 0 else UNICODE_TITLE
        tag = old_tag(encoding, setting.codec, title)
        p.before[encoding] = tag + audio
        for kind in ("same", "edit"):
            name = "%s%d.mp3" % (kind, encoding)
            with open(os.path.join(music, name), "wb") as f:
                f.write(p.before[encoding])
            # The title as the host's text shows it: '?' for what it lacks.
            shown = title.encode(host, errors="replace").decode(host)
            lines += ["panel music cursor %s" % name, "invoke menu", "menu * choose 0",
                      'dialog Id3Edit expect "Title"#2 %s' % quoted(shown)]
            if kind == "edit":
                lines.append('dialog Id3Edit set "Title"#2 %s' % quoted(p.typed))
            lines += ['dialog Id3Edit press "Save"', "expect-end"]
    transcript, ok = play(folder, lines)
    if not ok:
        p.failure = "the plug-in's run failed:\n" + "\n".join(transcript.splitlines()[-30:])
        return p
    for encoding in range(4):
        with open(os.path.join(music, "same%d.mp3" % encoding), "rb") as f:
            p.unchanged[encoding] = f.read()
        p.edited[encoding] = os.path.join(music, "edit%d.mp3" % encoding)
    return p


def before_file(setting, encoding):
    """The file as made, for the peers to read."""
    path = os.path.join(WORK, setting.name, "before%d.mp3" % encoding)
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(PREPARED[setting.name].before[encoding])
    return path


class RoundTrip(unittest.TestCase):
    """Set up per case by make_cases."""


def make_case(setting, encoding):
    def test(self):
        p = prepare(setting)
        if p.skip:
            self.skipTest(p.skip)
        if p.failure:
            self.fail(p.failure)
        self.assertEqual(p.unchanged[encoding], p.before[encoding], "a save without an edit changed the file")
        edited = p.edited[encoding]
        before = before_file(setting, encoding)
        # How a peer reads the title written: in Unicode as typed, as 8-bit
        # text the tag code page's bytes read as ISO-8859-1.
        in_unicode = setting.unicode and any(ord(c) > 127 for c in p.typed)
        expected = p.typed if in_unicode else p.typed.encode(setting.codec).decode("latin-1")
        from mutagen.id3 import ID3
        title = ID3(edited, load_v1=False)["TIT2"]
        self.assertEqual(title.encoding, 1 if in_unicode else 0)
        self.assertEqual(title.text, [expected])
        old, new = peers.read_mutagen(before), peers.read_mutagen(edited)
        old.pop("TIT2", None)
        new.pop("TIT2", None)
        self.assertEqual(new, old, "mutagen: frames other than the title changed")
        if shutil.which("eyeD3") or peers.have_module("eyed3"):
            old, new = peers.read_eyed3(before), peers.read_eyed3(edited)
            self.assertEqual(new.pop("title"), expected, "eyeD3")
            old.pop("title", None)
            self.assertEqual(new, old, "eyeD3: fields other than the title changed")
        if shutil.which("kid3-cli"):
            old, new = peers.read_kid3(before), peers.read_kid3(edited)
            self.assertEqual(new.pop("tag2:Title"), [expected], "kid3-cli")
            old.pop("tag2:Title", None)
            self.assertEqual(new, old, "kid3-cli: frames other than the title changed")
    test.__name__ = "test_%s_encoding%d" % (setting.name, encoding)
    return test


def main():
    global ARGS, WORK, BASE
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--codepages", required=True, help="OEM:ANSI, the pair the plug-in runs with")
    parser.add_argument("--host-text", choices=["oem", "utf8"], default="oem",
                        help="the host's text (TAGWRIGHT_HOST_TEXT natively)")
    parser.add_argument("--junit")
    ARGS = parser.parse_args()
    ARGS.oem, ARGS.ansi = (int(n) for n in ARGS.codepages.split(":"))
    if not peers.have_module("mutagen") or not shutil.which("lame"):
        print("mutagen or lame missing: nothing to test")
        return 0
    peers.ARGS = ARGS
    WORK = tempfile.mkdtemp(prefix="tagwright-codepages-")
    peers.WORK = WORK  # kid3-cli's settings go there
    try:
        BASE = peers.make_base(WORK)
        pages = offered_code_pages(WORK)
        for page in pages:
            codec = python_codec(page, ARGS.oem, ARGS.ansi)
            if codec is None:
                continue
            for unicode in (False, True):
                setting = Setting(page, codec, unicode)
                for encoding in range(4):
                    case = make_case(setting, encoding)
                    setattr(RoundTrip, case.__name__, case)
        suite = "tagwright_codepage_roundtrip" + ("_wine" if ARGS.wine else "") + (
            "_utf8" if ARGS.host_text == "utf8" else "")
        return junit_runner.run(sys.modules[__name__], suite, ARGS.junit)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
