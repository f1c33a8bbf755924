#!/usr/bin/env python3
"""Old 8-bit tags converted to Unicode through the plug-in, then read by other
programs: every Cyrillic text right, every other frame as it was.

Each fixture is a short MP3 file encoded by lame and tagged by mutagen the way
old taggers tagged: title, artist and album as Cyrillic bytes of one code page
(1251, 866 or KOI8-R) under encoding 0, beside frames that must not change (a
track with its total, a genre, a comment already in Unicode, a user text, a
link, a picture) and an ID3v1 tag. The plug-in, run by the host stand-in from
a script (`tagwright --script`, or `wine tagwright.exe` with the DLL), converts
all of them with "Guess per file" and no questions. Then mutagen, eyeD3,
kid3-cli and ffprobe must read the Cyrillic title, artist and album; mutagen
every other frame as before (for a 2.3 tag, byte for byte); ffmpeg the same
audio and the same ID3v1 block. A file of plain ASCII stays byte for byte.
Each check is its own test case, named <fixture>_<reader>."""
import argparse
import json
import logging
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import junit_runner  # noqa: E402

ARGS = None
WORK = None
FOLDER = None
BEFORE = {}  # fixture -> what the readers saw before the conversion
PLAYED = None  # the conversion's outcome: None when it ran to its end, else why not

TITLE = "\u0417\u0432\u0435\u0437\u0434\u0430 \u043f\u043e \u0438\u043c\u0435\u043d\u0438 \u0421\u043e\u043b\u043d\u0446\u0435"  # Звезда по имени Солнце
ARTIST = "\u041a\u0418\u041d\u041e"  # КИНО
ALBUM = "\u041f\u043e\u0441\u043b\u0435\u0434\u043d\u0438\u0439 \u0433\u0435\u0440\u043e\u0439"  # Последний герой
COMMENT = "\u041a\u043e\u043c\u043c\u0435\u043d\u0442\u0430\u0440\u0438\u0439"  # Комментарий
CONVERTED = ("TIT2", "TPE1", "TALB")

# name, Python codec, ID3v2 version
FIXTURES = [
    ("cp1251_v23", "cp1251", 3),
    ("cp866_v23", "cp866", 3),
    ("koi8r_v23", "koi8_r", 3),
    ("cp1251_v24", "cp1251", 4),
]


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)


def make_base(folder):
    """A second of a 440 Hz tone, encoded by lame."""
    wav = os.path.join(folder, "tone.wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(b"".join(struct.pack("<h", int(9000 * math.sin(2 * math.pi * 440 * i / 44100)))
                               for i in range(44100)))
    base = os.path.join(folder, "base.mp3")
    run(["lame", "--quiet", "-b", "96", wav, base], check=True)
    os.unlink(wav)
    return base


def tag_old(path, codec, version):
    """Text frames as 8-bit bytes under encoding 0 (mutagen writes Latin-1
    strings byte for byte), other frames as any tagger writes them, and an
    ID3v1 tag of the same bytes."""
    from mutagen.id3 import APIC, COMM, ID3, TALB, TCON, TIT2, TPE1, TRCK, TXXX, WXXX
    raw = lambda text: text.encode(codec).decode("latin-1")  # noqa: E731
    tag = ID3()
    tag.add(TIT2(encoding=0, text=raw(TITLE)))
    tag.add(TPE1(encoding=0, text=raw(ARTIST)))
    tag.add(TRCK(encoding=0, text="3/12"))
    tag.add(TCON(encoding=0, text="Rock"))
    tag.add(COMM(encoding=1, lang="rus", desc="", text=COMMENT))
    tag.add(TXXX(encoding=0, desc="CATALOG", text="AB-123"))
    tag.add(WXXX(encoding=0, desc="", url="http://example.org/"))
    tag.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=b"\x89PNG\r\n\x1a\n" + bytes(range(256))))
    tag.add(TALB(encoding=0, text=raw(ALBUM)))
    tag.save(path, v2_version=version, v1=2)


def tag_ascii(path):
    from mutagen.id3 import ID3, TIT2, TPE1
    tag = ID3()
    tag.add(TIT2(encoding=0, text="Plain title"))
    tag.add(TPE1(encoding=0, text="Plain artist"))
    tag.save(path, v2_version=3, v1=2)


# ---------------------------------------------------------------- readers

def frames23(path):
    """The frames of the 2.3 tag at the file's start: (id, flags, data)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:3] != b"ID3" or data[3] != 3:
        return None
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    frames, at = [], 10
    while at + 10 <= 10 + size and data[at] != 0:
        length = struct.unpack(">I", data[at + 4:at + 8])[0]
        frames.append((data[at:at + 4].decode("latin-1"), data[at + 8:at + 10], data[at + 10:at + 10 + length]))
        at += 10 + length
    return frames


def read_mutagen(path):
    from mutagen.id3 import ID3
    tag = ID3(path)
    out = {}
    for key, frame in sorted(tag.items()):
        out[key] = frame.pprint()
    return out


def read_eyed3(path):
    import eyed3
    logging.disable(logging.CRITICAL)
    tag = eyed3.load(path).tag
    return {"title": tag.title, "artist": tag.artist, "album": tag.album}


def read_kid3(path):
    home = os.path.join(WORK, "kid3-home")
    os.makedirs(home, exist_ok=True)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    done = run(["kid3-cli", "-c", '{"method":"get","params":["all"]}', path], env=env)
    if done.returncode != 0:
        raise RuntimeError("kid3-cli failed: " + done.stderr.decode("utf-8", "replace"))
    frames = json.loads(done.stdout.decode("utf-8"))["result"]["taggedFile"].get("tag2", {}).get("frames", [])
    return {f["name"].lower(): f["value"] for f in frames if f["name"] in ("Title", "Artist", "Album")}


def read_ffprobe(path):
    done = run(["ffprobe", "-v", "error", "-show_entries", "format_tags=title,artist,album", "-of", "json", path])
    if done.returncode != 0:
        raise RuntimeError("ffprobe failed: " + done.stderr.decode("utf-8", "replace"))
    tags = json.loads(done.stdout.decode("utf-8")).get("format", {}).get("tags", {})
    return {k.lower(): v for k, v in tags.items()}


def read_audio(path):
    done = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "md5", "-"])
    if done.returncode != 0:
        raise RuntimeError("ffmpeg failed: " + done.stderr.decode("utf-8", "replace"))
    with open(path, "rb") as f:
        f.seek(-128, os.SEEK_END)
        tail = f.read()
    return {"decoded audio": done.stdout.decode().strip(), "ID3v1 block": tail.hex()}


# ---------------------------------------------------------------- the plug-in

def host_path(path):
    return "Z:" + path.replace("/", "\\") if ARGS.wine else path


def convert(names):
    """Runs the conversion over `names` in FOLDER; None when it ran to its end."""
    script = ["panel %s select %s" % (host_path(FOLDER), " ".join(names)),
              "invoke menu",
              "menu * choose 4",
              'dialog Id3Convert select "Text was written in" "Guess per file"',
              'dialog Id3Convert uncheck "Confirm each file"',
              'dialog Id3Convert press "OK"',
              "expect-end"]
    script_path = os.path.join(WORK, "convert.txt")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write("\n".join(script) + "\n")
    command = [ARGS.tagwright, "--script", host_path(script_path), "--plugin", host_path(ARGS.plugin),
               "--lang", "English"]
    env = dict(os.environ)
    if ARGS.wine:
        command = ["wine"] + command
        env["FARUSER"] = "TagwrightConvertInterop"
    else:
        env["TAGWRIGHT_REGISTRY"] = os.path.join(WORK, "registry.reg")
    try:
        done = run(command, cwd=WORK, env=env, timeout=600)
    except subprocess.TimeoutExpired:
        return "the plug-in's run did not end"
    if done.returncode == 0:
        return None
    return "the plug-in's run failed (exit %d):\n%s\n%s" % (
        done.returncode, "\n".join(done.stdout.decode("utf-8", "replace").splitlines()[-25:]),
        done.stderr.decode("utf-8", "replace"))


def prepare():
    """Makes the fixtures, reads them, converts them all in one run."""
    global PLAYED
    base = make_base(WORK)
    names = []
    for name, codec, version in FIXTURES:
        path = os.path.join(FOLDER, name + ".mp3")
        shutil.copy(base, path)
        tag_old(path, codec, version)
        names.append(name + ".mp3")
    plain = os.path.join(FOLDER, "ascii.mp3")
    shutil.copy(base, plain)
    tag_ascii(plain)
    names.append("ascii.mp3")
    for name in names:
        path = os.path.join(FOLDER, name)
        with open(path, "rb") as f:
            BEFORE[name] = {"bytes": f.read(), "frames23": frames23(path), "mutagen": read_mutagen(path),
                            "audio": read_audio(path)}
    PLAYED = convert(names)


class Conversion(unittest.TestCase):
    def path(self, name):
        if PLAYED is not None:
            self.fail(PLAYED)
        return os.path.join(FOLDER, name)

    def expect_texts(self, seen):
        self.assertEqual((seen.get("title"), seen.get("artist"), seen.get("album")), (TITLE, ARTIST, ALBUM))


def add_cases():
    for name, codec, version in FIXTURES:
        file_name = name + ".mp3"

        def mutagen_case(self, file_name=file_name, version=version):
            path = self.path(file_name)
            before, after = BEFORE[file_name]["mutagen"], read_mutagen(path)
            self.assertEqual({k: after.get(k) for k in CONVERTED},
                             {"TIT2": "TIT2=" + TITLE, "TPE1": "TPE1=" + ARTIST, "TALB": "TALB=" + ALBUM})
            others = lambda frames: {k: v for k, v in frames.items() if k not in CONVERTED}  # noqa: E731
            self.assertEqual(others(after), others(before))
            if version == 3:
                old = [f for f in BEFORE[file_name]["frames23"] if f[0] not in CONVERTED]
                new = [f for f in frames23(path) if f[0] not in CONVERTED]
                self.assertEqual(new, old)
                self.assertTrue(all(f[2][:3] == b"\x01\xff\xfe" for f in frames23(path) if f[0] in CONVERTED))

        def reader_case(reader, need):
            def case(self, file_name=file_name):
                if need and shutil.which(need) is None:
                    self.skipTest("%s is not installed" % need)
                self.expect_texts(reader(self.path(file_name)))
            return case

        def audio_case(self, file_name=file_name):
            self.assertEqual(read_audio(self.path(file_name)), BEFORE[file_name]["audio"])

        setattr(Conversion, "test_%s_mutagen" % name, mutagen_case)
        setattr(Conversion, "test_%s_eyed3" % name, reader_case(read_eyed3, "eyeD3"))
        setattr(Conversion, "test_%s_kid3" % name, reader_case(read_kid3, "kid3-cli"))
        setattr(Conversion, "test_%s_ffprobe" % name, reader_case(read_ffprobe, "ffprobe"))
        setattr(Conversion, "test_%s_audio" % name, audio_case)

    def ascii_case(self):
        with open(self.path("ascii.mp3"), "rb") as f:
            self.assertEqual(f.read(), BEFORE["ascii.mp3"]["bytes"])
    Conversion.test_ascii_untouched = ascii_case


def main():
    global ARGS, WORK, FOLDER
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True, help="the host stand-in (tagwright or tagwright.exe)")
    parser.add_argument("--plugin", required=True, help="libtagwright.so or tagwright.dll")
    parser.add_argument("--wine", action="store_true", help="run the program under wine")
    parser.add_argument("--junit", help="write the results as JUnit XML to this file")
    parser.add_argument("--keep", action="store_true", help="keep the fixtures' folder")
    ARGS = parser.parse_args()
    WORK = tempfile.mkdtemp(prefix="tagwright-convert-interop-")
    FOLDER = os.path.join(WORK, "music")
    os.makedirs(FOLDER)
    try:
        prepare()
        add_cases()
        name = "tagwright_convert_interop" + ("_wine" if ARGS.wine else "")
        return junit_runner.run(sys.modules[__name__], name, ARGS.junit)
    finally:
        if ARGS.keep:
            print("fixtures kept in", WORK)
        else:
            shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
