#!/usr/bin/env python3
"""Files tagged by other programs, one field changed through the plug-in, and
every other field read back by those programs exactly as before.

Each fixture is a short MP3 file encoded by lame and tagged by a peer (mutagen
as ID3v2.3 and v2.4, eyeD3, kid3-cli, or an ID3v2.2 tag built here byte by
byte). The plug-in, run by the host stand-in from a script (`tagwright
--script`, or `wine tagwright.exe` with the DLL), then changes one field:

- the title, typed into the information view and saved;
- the comment, or the title, filled by "Create or fill tags" without
  confirmation, only into the ID3v2 tag.

Before and after, mutagen, eyeD3 and kid3-cli read the file and the audio is
decoded by ffmpeg. Every field but the changed one must read as before (texts
with all their values, descriptions, languages, pictures), the changed one as
the new value, and the decoded audio and the ID3v1 block must be the same.
Real files from the sample corpus beside the source tree get the title change
too, read by mutagen, with every byte after the tag compared.

Each check is its own test case, named <fixture>_<reader>, so that a reader
that is missing skips only its own case. The plug-in changes all the fixtures
of one kind of change in one run (a run under Wine takes seconds), and the
readers share what it left."""
import argparse
import hashlib
import json
import logging
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import traceback
import unittest
import wave
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import junit_runner  # noqa: E402

ARGS = None
WORK = None  # the folder every fixture is made in, removed at the end

NEW_TITLE = "New title"
NEW_COMMENT = "New comment"
OLD_TITLE = "Old title"

# Texts that a pass through the code pages loses: ©®¾× are Latin-1 but in
# neither OEM code page (437, 866), and ¾× not in ANSI 1251 either; Cyrillic
# is outside ANSI 1252; CJK is outside all of them.
LATIN1_SIGNS = "\u00a9\u00ae\u00be\u00d7"  # ©®¾×
CYRILLIC = "\u0410\u043b\u044c\u0431\u043e\u043c \u042a\u042d\u042f"  # Альбом ЪЭЯ
CJK = "\u6771\u4eac\u306e\u6b4c"  # 東京の歌
# Over 500 bytes in any encoding, longer than any dialog item: the whole text
# must come back, not the first 511 bytes of it.
LONG_TEXT = ("Biography " + LATIN1_SIGNS + " \u0411\u0438\u043e\u0433\u0440\u0430\u0444\u0438\u044f "
             "\u042a\u042d\u042f " + CJK + ". ") * 400
LONG_TEXT = LONG_TEXT[:12000]


# ---------------------------------------------------------------- tools

def have_program(name):
    return shutil.which(name) is not None


def have_module(name):
    try:
        __import__(name)
        return True
    except ImportError:
        return False


def missing(need):
    """Why `need` (a program, or "python:" and a module) cannot be used, or None."""
    if need.startswith("python:"):
        module = need[len("python:"):]
        return None if have_module(module) else "the Python module %s is not installed" % module
    return None if have_program(need) else "%s is not installed" % need


def run(command, **kwargs):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)


# ---------------------------------------------------------------- dialog items

class Items:
    """The items of the two dialogs as the scripts name them: by their labels
    (a field by the check box before it: "Title"+1)."""

    def __init__(self):
        self.v2_check = '"ID3v2"'
        self.v2_title = '"Title"#2'
        self.save = '"Save"'
        self.confirm = '"Confirm each file"'
        self.from_name = '"Take the text from the file path"'
        self.regexp = '"Regular expression"'
        self.write_v1 = '"ID3v1"'
        self.write_v2 = '"ID3v2"'
        self.ok = '"OK"'
        labels = {"Title": "Title", "Artist": "Artist", "Album": "Album", "Year": "Year",
                  "Genre": "Genre", "Track": "Track", "Comment": "Comment", "FileName": "File name"}
        self.field_checks = {name: '"%s"' % label for name, label in labels.items()}
        self.field_values = {name: '"%s"+1' % label for name, label in labels.items()}


# ---------------------------------------------------------------- fixtures

def syncsafe(n):
    """A size as ID3v2 headers write it, 7 bits per byte."""
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def prepend_tag(path, tag):
    """Puts a tag built here in front of the file's audio."""
    with open(path, "rb") as f:
        audio = f.read()
    with open(path, "wb") as f:
        f.write(tag + audio)


def make_base(folder):
    """Two seconds of a 440 Hz tone in stereo, encoded by lame."""
    wav = os.path.join(folder, "tone.wav")
    with wave.open(wav, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        frames = bytearray()
        for i in range(2 * 44100):
            sample = int(12000 * math.sin(2 * math.pi * 440 * i / 44100))
            frames += struct.pack("<hh", sample, sample)
        w.writeframes(bytes(frames))
    base = os.path.join(folder, "base.mp3")
    run(["lame", "--quiet", "-b", "128", wav, base], check=True)
    os.unlink(wav)
    return base


def make_cover(folder):
    """A JPEG picture of noise, about 70 KB: real enough for eyeD3 and kid3 to
    take its type from its bytes, and it makes the tag larger than 4096 bytes."""
    cover = os.path.join(folder, "cover.jpg")
    if have_program("ffmpeg"):
        run(["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
             "nullsrc=s=320x240,geq=random(1)*255:random(2)*255:random(3)*255",
             "-frames:v", "1", "-q:v", "4", cover], check=True)
    else:
        # A JFIF header in front of fixed noise: a picture only by its first bytes.
        noise = b"".join(hashlib.sha256(b"%d" % i).digest() for i in range(2500))
        with open(cover, "wb") as f:
            f.write(b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00" + noise + b"\xff\xd9")
    return cover


def mutagen_frames(cover, version):
    """The frames of the full mutagen fixture: several values in one frame,
    comments and links with and without descriptions, texts in every encoding
    (UTF-8, encoding 3, exists only in v2.4; the v2.3 fixture has UTF-16
    there), a picture, lyrics, user texts, the extra fields' frames."""
    from mutagen.id3 import (APIC, COMM, TALB, TCOM, TCON, TCOP, TDRC, TENC, TIT1, TIT2, TOPE, TPE1, TPE2,
                             TPOS, TRCK, TXXX, USLT, WXXX)
    utf8 = 3 if version == 4 else 1
    with open(cover, "rb") as f:
        picture = f.read()
    return [
        TIT2(encoding=0, text=OLD_TITLE),
        TPE1(encoding=utf8, text=["A", "B", "C"]),
        TALB(encoding=utf8, text=CYRILLIC + " " + CJK),
        TPE2(encoding=1, text="Album artist " + CJK),
        TCON(encoding=utf8, text=["Rock", "Live"]),
        TDRC(encoding=0, text="2004-05-01T10:20" if version == 4 else "2004-05-01"),
        TRCK(encoding=0, text="3/12"),
        TPOS(encoding=0, text="1/2"),
        TIT1(encoding=1, text="\u0413\u0440\u0443\u043f\u043f\u0430 " + LATIN1_SIGNS),
        TCOM(encoding=utf8, text="Composer " + CJK),
        TOPE(encoding=1, text="\u041e\u0440\u0438\u0433\u0438\u043d\u0430\u043b " + LATIN1_SIGNS),
        TCOP(encoding=0, text="\u00a9 2004 Label " + LATIN1_SIGNS),
        TENC(encoding=0, text="Encoder \u00be"),
        COMM(encoding=1, lang="eng", desc="", text="Ordinary comment " + LATIN1_SIGNS),
        COMM(encoding=utf8, lang="eng", desc="MusicMatch_Bio", text=LONG_TEXT),
        COMM(encoding=0, lang="fra", desc="iTunes_CDDB_IDs", text="9+B4+96+2F3C+52F6"),
        TXXX(encoding=utf8, desc="MusicBrainz Album Id", text="0f9e1d2c-1234-4bcd-9abc-0123456789ab"),
        TXXX(encoding=1, desc="CATALOG " + CYRILLIC, text=CJK),
        USLT(encoding=utf8, lang="eng", desc="", text="First line\n" + CYRILLIC + "\n" + CJK),
        WXXX(encoding=0, desc="shop", url="http://shop.example/b"),
        WXXX(encoding=0, desc="", url="http://example.org/a"),
        APIC(encoding=1, mime="image/jpeg", type=3, desc="Cover " + LATIN1_SIGNS, data=picture),
    ]


def tag_with_mutagen(path, frames, version, v1=0):
    from mutagen.id3 import ID3
    tag = ID3()
    for frame in frames:
        tag.add(frame)
    if version == 3:
        # TDRC as TYER and TDAT; mutagen's save does not convert by itself.
        tag.update_to_v23()
    tag.save(path, v2_version=version, v1=v1)


def mutagen_v24(path, cover):
    tag_with_mutagen(path, mutagen_frames(cover, 4), 4)


def mutagen_v23(path, cover):
    # With an ID3v1 tag that mutagen makes from the same fields.
    tag_with_mutagen(path, mutagen_frames(cover, 3), 3, v1=2)


def mutagen_v24_long_comment(path, cover):
    """The comment the Comment field shows is 12,000 characters of UTF-8, with
    ЪЭЯ (cp1251 bytes under encoding 0 would read as ÚÝß); the only link
    has a description."""
    from mutagen.id3 import COMM, TIT2, TPE1, WXXX
    tag_with_mutagen(path, [
        TIT2(encoding=3, text=OLD_TITLE),
        TPE1(encoding=3, text=CYRILLIC),
        COMM(encoding=3, lang="eng", desc="", text=LONG_TEXT),
        WXXX(encoding=3, desc="Homepage " + CYRILLIC, url="http://example.org/home"),
    ], 4)


def mutagen_v24_described_comment(path, cover):
    """The only comment has a description and a language other than eng, so
    the Comment field shows that one."""
    from mutagen.id3 import COMM, TIT2, TRCK
    tag_with_mutagen(path, [
        TIT2(encoding=3, text=OLD_TITLE),
        TRCK(encoding=3, text="3/12"),
        COMM(encoding=3, lang="fra", desc="MusicMatch_Bio", text="Biographie " + LATIN1_SIGNS),
    ], 4)


def v22_frame(frame_id, payload):
    return frame_id.encode("ascii") + struct.pack(">I", len(payload))[1:] + payload


def v22_text(text):
    """Encoding 0 when Latin-1 holds the text, else 1 (UCS-2 with a BOM)."""
    try:
        return b"\x00" + text.encode("latin-1")
    except UnicodeEncodeError:
        return b"\x01" + b"\xff\xfe" + text.encode("utf-16-le")


def v22_described(lang, desc, text):
    """COM and ULT: encoding, language, description, text, in one encoding."""
    try:
        return b"\x00" + lang.encode() + desc.encode("latin-1") + b"\x00" + text.encode("latin-1")
    except UnicodeEncodeError:
        return (b"\x01" + lang.encode() + b"\xff\xfe" + desc.encode("utf-16-le") + b"\x00\x00" +
                b"\xff\xfe" + text.encode("utf-16-le"))


def id3v22(path, cover):
    """An ID3v2.2 tag (3-letter ids, 6-byte frame headers) built byte by byte:
    mutagen reads v2.2 but does not write it. A 4-letter-id writer must turn
    PIC into APIC (its 3-letter image format into a MIME type), COM into COMM,
    ULT into USLT, TXX into TXXX, WXX into WXXX, TYE+TDA into TYER+TDAT."""
    with open(cover, "rb") as f:
        picture = f.read()
    frames = [
        v22_frame("TT2", v22_text(OLD_TITLE)),
        v22_frame("TP1", v22_text("Artist " + CYRILLIC)),
        v22_frame("TAL", v22_text("Album " + LATIN1_SIGNS)),
        v22_frame("TYE", v22_text("2004")),
        v22_frame("TDA", v22_text("0105")),
        v22_frame("TRK", v22_text("3/12")),
        v22_frame("TPA", v22_text("1/2")),
        v22_frame("TCO", v22_text("Rock")),
        v22_frame("TCM", v22_text("Composer " + CJK)),
        v22_frame("TCR", v22_text("\u00a9 2004 Label")),
        v22_frame("COM", v22_described("eng", "", "Plain comment " + LATIN1_SIGNS)),
        v22_frame("COM", v22_described("eng", "MusicMatch_Bio", LONG_TEXT)),
        v22_frame("COM", v22_described("fra", "iTunes_CDDB_IDs", "9+B4+96+2F3C+52F6")),
        v22_frame("COM", v22_described("eng", "iTunNORM", " 00000A1B 00000C2D")),
        v22_frame("ULT", v22_described("eng", "", "First line\n" + CYRILLIC)),
        v22_frame("TXX", b"\x00CATALOG\x00X-22"),
        v22_frame("WXX", b"\x00Homepage\x00http://example.org/v22"),
        v22_frame("PIC", b"\x00JPG\x03Cover\x00" + picture),
    ]
    body = b"".join(frames) + b"\x00" * 512
    prepend_tag(path, b"ID3\x02\x00\x00" + syncsafe(len(body)) + body)


def compressed_tag(version):
    """An ID3v2.3 or v2.4 tag built byte by byte whose title and album frames
    are zlib-compressed (v2.3: flag 0x0080 and a 4-byte inflated size; v2.4:
    flags 0x0008 and 0x0001, with a 7-bits-per-byte data length), as some
    taggers write long frames; mutagen, eyeD3 and kid3 read them inflated."""
    import zlib
    def frame(frame_id, payload, compress=False):
        flags = b"\x00\x00"
        if compress and version == 3:
            flags = b"\x00\x80"
            payload = struct.pack(">I", len(payload)) + zlib.compress(payload)
        elif compress:
            flags = b"\x00\x09"
            payload = syncsafe(len(payload)) + zlib.compress(payload)
        size = struct.pack(">I", len(payload)) if version == 3 else syncsafe(len(payload))
        return frame_id.encode("ascii") + size + flags + payload
    utf16 = lambda text: b"\x01\xff\xfe" + text.encode("utf-16-le")
    body = b"".join([
        frame("TIT2", b"\x00" + OLD_TITLE.encode("latin-1"), compress=True),
        frame("TALB", utf16(CYRILLIC + " " + CJK + " " + LATIN1_SIGNS * 20), compress=True),
        frame("TPE1", utf16("Artist " + CYRILLIC)),
        frame("TRCK", b"\x003/12"),
        frame("COMM", b"\x00eng\x00Plain comment"),
    ]) + b"\x00" * 256
    return b"ID3" + bytes([version, 0, 0]) + syncsafe(len(body)) + body


def compressed_v23(path, cover):
    prepend_tag(path, compressed_tag(3))


def compressed_v24(path, cover):
    prepend_tag(path, compressed_tag(4))


def eyed3_command(path, cover, version):
    lyrics = os.path.join(os.path.dirname(path), "lyrics.txt")
    with open(lyrics, "w", encoding="utf-8") as f:
        f.write("First line\n" + CYRILLIC + "\n")
    return ["eyeD3", "--no-config", "--to-v2.%d" % version, "-t", OLD_TITLE, "-a", "Artist " + LATIN1_SIGNS,
            "-A", CYRILLIC, "-b", "Album artist " + CJK, "-n", "3", "-N", "12", "-d", "1", "-D", "2",
            "-G", "Rock", "--recording-date", "2004-05-01", "--release-date", "2005-06-07",
            "-c", "Plain comment " + LATIN1_SIGNS,
            "--add-comment", "Bio text " + CYRILLIC + ":MusicMatch_Bio",
            "--add-comment", "9+B4+96+2F3C+52F6:iTunes_CDDB_IDs:fra",
            "--add-lyrics", lyrics, "--user-text-frame", "CATALOG:X1",
            "--user-url-frame", "shop:http://shop.example/",
            "--add-image", cover + ":FRONT_COVER:Cover " + LATIN1_SIGNS,
            "--publisher", "Label \u00ae", "--composer", "Composer " + CJK, path]


def eyed3_v23(path, cover):
    run(eyed3_command(path, cover, 3), check=True)


def eyed3_v24(path, cover):
    run(eyed3_command(path, cover, 4), check=True)


def kid3_command(path, cover, to24):
    commands = ["set title '%s'" % OLD_TITLE, "set artist 'Artist %s'" % CYRILLIC,
                "set album 'Album %s'" % LATIN1_SIGNS, "set comment 'Nice comment %s'" % CJK,
                "set date 2004-05-01", "set tracknumber 3/12", "set discnumber 1/2", "set genre Rock",
                "set composer 'Composer %s'" % CJK, "set picture:'%s' 'Front %s'" % (cover, LATIN1_SIGNS),
                "save"]
    if to24:
        commands += ["to24", "save"]
    command = ["kid3-cli"]
    for c in commands:
        command += ["-c", c]
    return command + [path]


def kid3_v23(path, cover):
    run(kid3_command(path, cover, False), check=True, env=kid3_env())


def kid3_v24(path, cover):
    run(kid3_command(path, cover, True), check=True, env=kid3_env())


def kid3_env():
    """kid3 keeps its settings under HOME; the test's folder stands in for it."""
    home = os.path.join(WORK, "kid3-home")
    os.makedirs(home, exist_ok=True)
    return dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")


class Fixture:
    """A way to tag a file, the program that must be there for it, and the
    comment the Comment field shows (description, language)."""

    def __init__(self, name, make, needs, comment, v22=False, real=False):
        self.name, self.make, self.needs, self.comment, self.v22 = name, make, needs, comment, v22
        self.real = real  # a file from the sample corpus, not made here

    def missing(self):
        for need in self.needs:
            if missing(need):
                return missing(need) + " (it writes this fixture)"
        return None


FIXTURES = [
    Fixture("mutagen_v24", mutagen_v24, ["python:mutagen"], ("", "eng")),
    Fixture("mutagen_v23", mutagen_v23, ["python:mutagen"], ("", "eng")),
    Fixture("mutagen_v24_long_comment", mutagen_v24_long_comment, ["python:mutagen"], ("", "eng")),
    Fixture("mutagen_v24_described_comment", mutagen_v24_described_comment, ["python:mutagen"],
            ("MusicMatch_Bio", "fra")),
    Fixture("id3v22_with_picture", id3v22, [], ("", "eng"), v22=True),
    Fixture("compressed_frames_v23", compressed_v23, [], ("", "eng")),
    Fixture("compressed_frames_v24", compressed_v24, [], ("", "eng")),
    Fixture("eyed3_v23", eyed3_v23, ["eyeD3"], ("", "eng")),
    Fixture("eyed3_v24", eyed3_v24, ["eyeD3"], ("", "eng")),
    Fixture("kid3_v23", kid3_v23, ["kid3-cli"], ("", "eng")),
    Fixture("kid3_v24", kid3_v24, ["kid3-cli"], ("", "eng")),
]


# ---------------------------------------------------------------- readers

def plain(value):
    """A frame attribute as JSON-like data; bytes by their length and digest."""
    from mutagen.id3 import ID3TimeStamp
    if isinstance(value, (bytes, bytearray)):
        return {"bytes": len(value), "sha256": hashlib.sha256(value).hexdigest()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    if isinstance(value, ID3TimeStamp):
        return str(value)
    if isinstance(value, bool) or isinstance(value, int):
        return int(value)
    if isinstance(value, (str, float)) or value is None:
        return value
    return str(value)


def read_mutagen(path):
    """Every frame of the ID3v2 tag as mutagen reads it (in its v2.4 view, so
    a v2.3 TYER+TDAT is one TDRC), keyed by mutagen's own frame key (TIT2,
    COMM:desc:lang, APIC:desc, TXXX:desc ...), with every attribute but the
    text encoding. Without the ID3v1 fields mutagen mixes in by default: which
    of them it takes depends on the v2 version (a v1 year replaces a v2.4
    TDRC, not a v2.3 TYER); the ID3v1 block is compared byte for byte."""
    from mutagen.id3 import ID3, ID3NoHeaderError
    try:
        tag = ID3(path, load_v1=False)
    except ID3NoHeaderError:
        return {}
    frames = {}
    for frame in tag.values():
        fields = {}
        for spec in frame._framespec + frame._optionalspec:
            if spec.name != "encoding" and hasattr(frame, spec.name):
                fields[spec.name] = plain(getattr(frame, spec.name))
        frames[frame.HashKey] = fields
    return frames


EYED3_FIELDS = ["title", "artist", "album", "album_artist", "composer", "publisher", "encoded_by", "copyright",
                "original_artist", "artist_url", "audio_file_url", "audio_source_url", "commercial_url",
                "copyright_url", "internet_radio_url", "payment_url", "publisher_url", "bpm", "play_count",
                "cd_id", "track_num", "disc_num", "genre", "non_std_genre"]
# eyeD3's date properties read different frames for v2.3 and v2.4 tags, so
# the dates are taken from the frames it holds after loading. eyeD3 0.9 reads
# a v2.3 TDAT (DDMM) as a date and fails, so of TYER, TDAT and TIME it sees
# the year alone: its recording date is TDRC's when there is one, else TYER's.
EYED3_DATE_FRAMES = [b"TDRL", b"TDOR", b"TDEN", b"TDTG", b"TORY", b"XDOR", b"TRDA"]


def eyed3_text(value):
    """eyeD3 decodes a v2.3 frame of several UTF-16 strings as one text, so
    the byte-order mark that starts each later string shows as U+FEFF after
    the zero between them; and it keeps the zero some writers put after a
    link. Neither is part of the value."""
    if isinstance(value, str):
        return value.replace("\x00\ufeff", "\x00").rstrip("\x00")
    return value


def read_eyed3(path):
    """What eyeD3 gives for the tag: its fields, and its comments, lyrics,
    pictures, user text and user links keyed by description (and language)."""
    import eyed3
    logging.disable(logging.CRITICAL)
    audio = eyed3.load(path)
    tag = audio.tag if audio is not None else None
    if tag is None:
        return {}
    out = {}
    for name in EYED3_FIELDS:
        try:
            value = getattr(tag, name)
        except Exception as error:  # a field eyeD3 cannot parse reads as its error
            value = "<%s>" % type(error).__name__
        if value is None or (isinstance(value, tuple) and all(v is None for v in value)):
            continue
        out[name] = eyed3_text(plain(value))
    def dates(fid):
        return [str(f.date) if getattr(f, "date", None) else f.text for f in tag.frame_set.get(fid, [])]
    recorded = dates(b"TDRC") or dates(b"TYER")
    if recorded:
        out["recording date"] = recorded
    for fid in EYED3_DATE_FRAMES:
        if dates(fid):
            out["date:" + fid.decode()] = dates(fid)
    lang = lambda frame: frame.lang.decode("latin-1") if isinstance(frame.lang, bytes) else frame.lang
    for c in tag.comments:
        out["comment:%s:%s" % (c.description, lang(c))] = eyed3_text(c.text)
    for c in tag.lyrics:
        out["lyrics:%s:%s" % (c.description, lang(c))] = eyed3_text(c.text)
    for image in tag.images:
        out["image:%s" % image.description] = {"mime": image.mime_type, "type": image.picture_type,
                                               "data": plain(image.image_data)}
    for frame in tag.user_text_frames:
        out["user_text:%s" % frame.description] = eyed3_text(frame.text)
    for frame in tag.user_url_frames:
        url = frame.url.decode("latin-1") if isinstance(frame.url, bytes) else frame.url
        out["user_url:%s" % frame.description] = eyed3_text(url)
    return out


def read_kid3(path):
    """kid3-cli's `get all` as JSON: each tag's frames as name -> values (a
    name can come more than once), without the tag's format (version)."""
    done = run(["kid3-cli", "-c", '{"method":"get","params":["all"]}', path], env=kid3_env())
    if done.returncode != 0:
        raise RuntimeError("kid3-cli failed: " + done.stderr.decode("utf-8", "replace"))
    tagged = json.loads(done.stdout.decode("utf-8"))["result"]["taggedFile"]
    out = {}
    for tag in ("tag1", "tag2", "tag3"):
        for frame in tagged.get(tag, {}).get("frames", []):
            out.setdefault("%s:%s" % (tag, frame["name"]), []).append(frame["value"])
    return out


def read_audio(path):
    """The decoded audio's md5 (ffmpeg), and the file's last 128 bytes when
    they are an ID3v1 tag."""
    done = run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "md5", "-"])
    if done.returncode != 0:
        raise RuntimeError("ffmpeg failed: " + done.stderr.decode("utf-8", "replace"))
    with open(path, "rb") as f:
        f.seek(-128, os.SEEK_END)
        tail = f.read()
    return {"decoded audio": done.stdout.decode().strip(),
            "ID3v1 block": tail.hex() if tail.startswith(b"TAG") else None}


def id3v2_size(data):
    """The size of the ID3v2 tag at the start of `data`, header and footer
    included; 0 when there is none."""
    if len(data) < 10 or data[:3] != b"ID3":
        return 0
    size = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
    return size + 10 if data[3] == 4 and data[5] & 0x10 else size


def read_rest(path):
    """Everything after the ID3v2 tag (the audio, an ID3v1 block, other tags
    at the end), by its length and digest: real files hold audio that not
    every decoder takes, but a save must not change a byte of it."""
    with open(path, "rb") as f:
        data = f.read()
    return {"after the ID3v2 tag": plain(data[id3v2_size(data):])}


class Reader:
    def __init__(self, name, read, needs):
        self.name, self.read, self.needs = name, read, needs

    def missing(self):
        return missing(self.needs) if self.needs else None


# The "audio" reader holds the rest of the file: the decoded audio and the
# ID3v1 block, which neither change touches.
READERS = [
    Reader("mutagen", read_mutagen, "python:mutagen"),
    Reader("eyed3", read_eyed3, "python:eyed3"),
    Reader("kid3", read_kid3, "kid3-cli"),
    Reader("audio", read_audio, "ffmpeg"),
]
# For real files: mutagen, and the bytes after the tag.
REAL_FILE_READERS = [READERS[0], Reader("rest", read_rest, None)]


# ---------------------------------------------------------------- the plug-in

def host_path(path):
    """A path as the program sees it: under Wine, on drive Z:."""
    return "Z:" + path.replace("/", "\\") if ARGS.wine else path


class Played:
    """How a script ran: `failed_line` (1-based) is None when it ran to its
    end; `refused` holds the message shown where the information view was
    expected, `failure` the end of the transcript for any other failure;
    `hung` is true when the program had to be stopped."""

    def __init__(self, failed_line=None, refused=None, failure=None, hung=False):
        self.failed_line, self.refused, self.failure, self.hung = failed_line, refused, failure, hung


def run_script(folder, script):
    """Runs `script` (lines) in the host stand-in from `folder`."""
    script_path = os.path.join(folder, "change.txt")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write("\n".join(script) + "\n")
    command = [ARGS.tagwright, "--script", host_path(script_path), "--plugin", host_path(ARGS.plugin),
               "--lang", "English"]
    env = dict(os.environ)
    if ARGS.wine:
        command = ["wine"] + command
        # Settings in the Wine registry under a user of this test's own.
        env["FARUSER"] = "TagwrightSaveInterop"
    else:
        env["TAGWRIGHT_REGISTRY"] = os.path.join(folder, "registry.reg")
    try:
        done = run(command, cwd=folder, env=env, timeout=900)
    except subprocess.TimeoutExpired:
        return Played(0, failure="the plug-in's run did not end", hung=True)
    if done.returncode == 0:
        return Played()
    transcript = done.stdout.decode("utf-8", "replace")
    line = re.search(r"FAILED: line (\d+): (.*)", transcript)
    refused = re.search(r"FAILED: line \d+: the script expects `dialog Id3Edit[^`]*`, but the (message .*)",
                        transcript)
    return Played(int(line.group(1)) if line else 0, refused.group(1).strip() if refused else None,
                  "the plug-in's run failed (exit %d):\n%s\n%s" % (
                      done.returncode, "\n".join(transcript.splitlines()[-25:]),
                      done.stderr.decode("utf-8", "replace")))


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def info_view_title(items, name, fixture):
    """The information view: the ID3v2 title typed over, then Save."""
    shown = [] if fixture.real else [
        "dialog Id3Edit expect %s %s" % (items.v2_title, quoted(OLD_TITLE))]
    return ["panel music cursor %s" % name,
            "invoke menu",
            "menu * choose 0",
            "dialog Id3Edit expect %s checked" % items.v2_check] + shown + [
            "dialog Id3Edit set %s %s" % (items.v2_title, quoted(NEW_TITLE)),
            "dialog Id3Edit press %s" % items.save,
            "expect-end"]


def tag_creation(field, value):
    """"Create or fill tags" with one field ticked, a fixed value, no regular
    expression, no confirmation, only the ID3v2 tag written."""
    def script(items, name, fixture):
        lines = ["panel music cursor %s" % name,
                 "invoke menu",
                 "menu * choose 3",
                 "dialog Id3TagCreation uncheck %s" % items.confirm,
                 "dialog Id3TagCreation choose %s" % items.from_name,
                 "dialog Id3TagCreation set %s \"\"" % items.regexp,
                 "dialog Id3TagCreation uncheck %s" % items.write_v1,
                 "dialog Id3TagCreation check %s" % items.write_v2]
        for other, check in items.field_checks.items():
            if other != field:
                lines.append("dialog Id3TagCreation uncheck %s" % check)
        lines += ["dialog Id3TagCreation check %s" % items.field_checks[field],
                  "dialog Id3TagCreation set %s %s" % (items.field_values[field], quoted(value)),
                  "dialog Id3TagCreation press %s" % items.ok,
                  "expect-end"]
        return lines
    return script


# ---------------------------------------------------------------- what must change

def title_change(reader, fixture, before):
    """The keys the title change may touch, with what each must read after."""
    return {"mutagen": {"TIT2": {"text": [NEW_TITLE]}},
            "eyed3": {"title": NEW_TITLE},
            "kid3": {"tag2:Title": [NEW_TITLE]}}.get(reader, {})


def comment_change(reader, fixture, before):
    """The comment the Comment field showed takes the new text and keeps its
    description and language."""
    desc, lang = fixture.comment
    if reader == "mutagen":
        key = "COMM:%s:%s" % (desc, lang)
        return {key: dict(before.get(key, {"desc": desc, "lang": lang}), text=[NEW_COMMENT])}
    if reader == "eyed3":
        return {"comment:%s:%s" % (desc, lang): NEW_COMMENT}
    if reader == "kid3":
        return {"tag2:" + (desc or "Comment"): [NEW_COMMENT]}
    return {}


# What writing ID3v2.3 changes in a reader's view without losing anything.
# Each lets through one difference, for one reader and one key; a lost or
# different value is not let through.

def time_gains_seconds(reader, fixture, key, before, after):
    """ID3v2.3 keeps a time as TIME (HHMM), which mutagen reads back with
    seconds: a v2.4 TDRC 2004-05-01T10:20 comes back as 2004-05-01T10:20:00
    (mutagen prints the time after a blank)."""
    if reader != "mutagen" or key != "TDRC" or not before or not after:
        return False
    was, now = before.get("text"), after.get("text")
    return (isinstance(was, list) and isinstance(now, list) and len(was) == len(now) and
            all(re.fullmatch(r"\d{4}-\d\d-\d\d[T ]\d\d:\d\d", w) and n == w + ":00" for w, n in zip(was, now)))


def v22_picture_format_becomes_mime_type(reader, fixture, key, before, after):
    """eyeD3 shows a v2.2 picture's 3-letter image format JPG as the MIME type
    image/JPG; as an APIC frame it is image/jpeg (mutagen makes the same
    change when it reads the v2.2 tag, so its view needs no exception)."""
    if reader != "eyed3" or not fixture.v22 or not key.startswith("image:") or not before or not after:
        return False
    return (dict(before, mime=None) == dict(after, mime=None) and before["mime"] == "image/JPG" and
            after["mime"] == "image/jpeg")


def v22_date_gains_day(reader, fixture, key, before, after):
    """kid3 shows a v2.2 tag's date from TYE alone, without the day and month
    of TDA; from the v2.3 TYER and TDAT it shows them all: 2004 becomes
    2004-05-01."""
    if reader != "kid3" or not fixture.v22 or key != "tag2:Date" or not before or not after:
        return False
    return (len(before) == len(after) == 1 and re.fullmatch(r"\d{4}", before[0]) is not None and
            re.fullmatch(re.escape(before[0]) + r"-\d\d-\d\d", after[0]) is not None)


def eyed3_sees_only_the_v23_year(reader, fixture, key, before, after):
    """A v2.4 TDRC is written as TYER and TDAT (and TIME), of which eyeD3
    reads only the year (see EYED3_DATE_FRAMES); mutagen and kid3 are held to
    the whole date."""
    if reader != "eyed3" or key != "recording date" or not before or not after:
        return False
    return (len(before) == len(after) == 1 and re.match(r"\d{4}-", before[0]) is not None and
            after[0] == before[0][:4])


def v24_zeros_are_no_values(reader, fixture, key, before, after):
    """mutagen reads a v2.4 text that ends in more zeros than its terminator
    (iTunes writes COMM iTunPGAP as "0", 0, 0) as one more value, empty; from
    a v2.3 tag it takes zeros at the end as padding. The same bytes carried
    into v2.3 read without the empty values at the end."""
    if reader != "mutagen" or not before or not after or set(before) != set(after):
        return False
    for name, was in before.items():
        now = after[name]
        if now == was:
            continue
        if not (isinstance(was, list) and isinstance(now, list) and 0 < len(now) < len(was) and
                was[:len(now)] == now and all(v == "" for v in was[len(now):])):
            return False
    return True


TOLERANCES = [time_gains_seconds, v22_picture_format_becomes_mime_type, v22_date_gains_day,
              eyed3_sees_only_the_v23_year, v24_zeros_are_no_values]


def short(value, limit=90):
    """A value for a failure message: long texts cut, with their length."""
    if isinstance(value, str):
        if len(value) > limit:
            return "%r... (%d characters)" % (value[:limit], len(value))
        return repr(value)
    if isinstance(value, list):
        return "[" + ", ".join(short(v, limit) for v in value) + "]"
    if isinstance(value, dict):
        return "{" + ", ".join("%s: %s" % (k, short(v, limit)) for k, v in value.items()) + "}"
    return repr(value)


def printable(text):
    """Control characters (a language field of "en" and a zero) as escapes,
    so that a key reads in a message and fits in XML."""
    return re.sub(r"[\x00-\x08\x0b\x0c\x0e-\x1f\ud800-\udfff\ufffe\uffff]",
                  lambda m: "\\x%02x" % ord(m.group()) if ord(m.group()) < 256 else "\\u%04x" % ord(m.group()),
                  text)


def differences(reader, fixture, before, after, changed):
    """Lines naming each key that reads differently after the change than the
    test expects: `changed` keys as given there, all others as before."""
    lines = []
    for key in sorted(set(before) | set(after) | set(changed)):
        was, now = before.get(key), after.get(key)
        expected = changed.get(key, was)
        if now == expected:
            continue
        if key not in changed and any(t(reader, fixture, key, was, now) for t in TOLERANCES):
            continue
        name = printable(key)
        if now is None:
            lines.append("%s is gone (was %s)" % (name, short(was)))
        elif expected is None:
            lines.append("%s appeared: %s" % (name, short(now)))
        else:
            lines.append("%s: expected %s, read %s" % (name, short(expected), short(now)))
    return lines


# ---------------------------------------------------------------- cases

class Outcome:
    """One fixture changed once: what each reader read before and after (or
    the reader's own failure), or why the fixture or the change failed."""

    def __init__(self):
        self.before, self.after, self.error, self.refused = {}, {}, None, None


_outcomes = {}
_items = None


def outcome(change, fixture, readers, batch):
    """Makes the fixture, reads it, runs the change and reads it again, once
    for all the readers' cases of this fixture and change, and of all the
    fixtures of `batch`, which are changed together."""
    global _items
    key = (change.name, fixture.name)
    if key not in _outcomes:
        if _items is None:
            _items = Items()
        change_together(change, [f for f in batch if usable(f)] or [fixture], readers)
    return _outcomes[key]


def usable(fixture):
    return fixture.missing() is None and (fixture.real or missing("lame") is None)


def change_together(change, fixtures, readers):
    """The fixtures changed in as few runs of the program as the script
    allows (a run under Wine takes seconds): one script for all of them,
    started again after the file at which it stopped, a file the plug-in
    refused or one it failed on."""
    folder = tempfile.mkdtemp(prefix=change.name + "-", dir=WORK)
    os.makedirs(os.path.join(folder, "music"))
    readers = [r for r in readers if r.missing() is None]
    names = {}
    for fixture in fixtures:
        result = _outcomes[(change.name, fixture.name)] = Outcome()
        name = fixture.name + ".mp3"
        path = os.path.join(folder, "music", name)
        try:
            if fixture.real:
                fixture.make(path, None)
            else:
                shutil.copyfile(base_file(), path)
                fixture.make(path, cover_file())
        except Exception:  # every case of this fixture reports it
            result.error = traceback.format_exc()
            continue
        for r in readers:
            result.before[r.name] = read_or_failure(r, path)
        names[fixture.name] = name
    pending = [f for f in fixtures if f.name in names]
    while pending:
        blocks = [change.script(_items, names[f.name], f) for f in pending]
        played = run_script(folder, [line for block in blocks for line in block])
        done = pending
        if played.hung:
            for fixture in pending:
                _outcomes[(change.name, fixture.name)].error = played.failure
            break
        if played.failed_line is not None:
            index, first = 0, 1
            while index < len(blocks) - 1 and played.failed_line >= first + len(blocks[index]):
                first += len(blocks[index])
                index += 1
            result = _outcomes[(change.name, pending[index].name)]
            if played.refused is not None:
                result.refused = played.refused
            else:
                result.error = played.failure
            done, pending = pending[:index], pending[index + 1:]
        else:
            pending = []
        for fixture in done:
            path = os.path.join(folder, "music", names[fixture.name])
            for r in readers:
                _outcomes[(change.name, fixture.name)].after[r.name] = read_or_failure(r, path)


class ReadFailure(Exception):
    pass


def read_or_failure(reader, path):
    """What the reader read, or its failure, which only its own case reports."""
    try:
        return reader.read(path)
    except Exception:
        return ReadFailure("%s could not read the file:\n%s" % (reader.name, traceback.format_exc()))


_base = _cover = None


def base_file():
    global _base
    if _base is None:
        _base = make_base(WORK)
    return _base


def cover_file():
    global _cover
    if _cover is None:
        _cover = make_cover(WORK)
    return _cover


class Change:
    """A way to change one field: the script that does it, and what each
    reader must read of the changed field afterwards."""

    def __init__(self, name, script, expected):
        self.name, self.script, self.expected = name, script, expected


class SaveInteropCase(unittest.TestCase):
    change = None
    readers = READERS
    batch = ()  # the fixtures changed together, in one run of the program

    def check(self, fixture, reader):
        reason = fixture.missing() or reader.missing()
        if not fixture.real and missing("lame"):
            reason = missing("lame") + " (it encodes the fixtures)"
        if reason:
            self.skipTest(reason)
        result = outcome(self.change, fixture, self.readers, self.batch)
        if result.refused is not None:
            if fixture.real:
                self.skipTest("the plug-in does not open this file in the information view: " + result.refused)
            self.fail("the plug-in does not open the file in the information view: " + result.refused)
        if result.error is not None:
            self.fail(result.error)
        before, after = result.before[reader.name], result.after[reader.name]
        for read in (before, after):
            if isinstance(read, ReadFailure):
                self.fail(str(read))
        if not fixture.real:
            self.assertTrue(before or reader.name == "audio", "%s read nothing before the change" % reader.name)
        changed = self.change.expected(reader.name, fixture, before)
        lines = differences(reader.name, fixture, before, after, changed)
        if lines:
            self.fail("%s reads %d field(s) differently after the change:\n  %s" % (
                reader.name, len(lines), "\n  ".join(lines)))


def make_cases(class_name, change, fixtures, doc, readers=READERS):
    def case(fixture, reader):
        return lambda self: self.check(fixture, reader)
    methods = {"change": change, "readers": readers, "batch": tuple(fixtures), "__doc__": doc}
    for fixture in fixtures:
        for reader in readers:
            methods["test_%s_%s" % (fixture.name, reader.name)] = case(fixture, reader)
    return type(class_name, (SaveInteropCase,), methods)


TitleThroughInformationView = make_cases(
    "TitleThroughInformationView", Change("view_title", info_view_title, title_change), FIXTURES,
    "The ID3v2 title typed over in the information view and saved.")
CommentThroughTagCreation = make_cases(
    "CommentThroughTagCreation", Change("create_comment", tag_creation("Comment", NEW_COMMENT), comment_change),
    FIXTURES, "Only the comment filled by tag creation, into the ID3v2 tag.")
TitleThroughTagCreation = make_cases(
    "TitleThroughTagCreation", Change("create_title", tag_creation("Title", NEW_TITLE), title_change),
    [f for f in FIXTURES
     if f.name in ("mutagen_v24", "mutagen_v23", "id3v22_with_picture", "compressed_frames_v24", "kid3_v24")],
    "Only the title filled by tag creation, into the ID3v2 tag.")


def has_mpeg_audio(path):
    """Whether mutagen finds MPEG audio in the file (true when mutagen is
    missing: the plug-in then decides alone)."""
    try:
        from mutagen.mp3 import MP3
    except ImportError:
        return True
    try:
        MP3(path)
        return True
    except Exception:
        return False


def real_files():
    """The sample corpus's MP3 files (up to 3 MB) that start with a whole
    ID3v2.2, v2.3 or v2.4 tag, each a fixture that copies it."""
    corpus = os.path.normpath(os.path.join(ARGS.source, "..", "shared", "corpus"))
    fixtures = []
    for folder, _, names in sorted(os.walk(corpus)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            if not name.lower().endswith(".mp3") or os.path.getsize(path) > 3 * 1024 * 1024:
                continue
            with open(path, "rb") as f:
                head = f.read(10)
            # A tag that claims more bytes than the file has is left out: no
            # reader takes it, so there is nothing to compare. So is a file
            # in which mutagen finds no MPEG audio: the plug-in shows the
            # information view for MPEG audio only.
            if head[3:4] not in (b"\x02", b"\x03", b"\x04") or not 0 < id3v2_size(head) <= os.path.getsize(path):
                continue
            if not has_mpeg_audio(path):
                continue
            relative = os.path.relpath(path, corpus)
            make = (lambda source: lambda target, cover: shutil.copyfile(source, target))(path)
            fixtures.append(Fixture(re.sub(r"[^A-Za-z0-9]+", "_", relative[:-4]), make, [], ("", "eng"),
                                    real=True))
    return fixtures


# ---------------------------------------------------------------- results

class Results(junit_runner.JUnitResult):
    """The shared JUnit outcomes, with each skip kept as a skip and its reason."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.skip_reasons = {}

    def addSkip(self, test, reason):
        super().addSkip(test, reason)
        self.skip_reasons[test.id()] = reason


def main():
    global ARGS, WORK
    parser = argparse.ArgumentParser()
    parser.add_argument("--tagwright", required=True, help="the host stand-in (tagwright or tagwright.exe)")
    parser.add_argument("--plugin", required=True, help="libtagwright.so or tagwright.dll")
    parser.add_argument("--source", required=True, help="the source tree, for the corpus beside it")
    parser.add_argument("--wine", action="store_true", help="run the program under wine")
    parser.add_argument("--junit", help="write the results as JUnit XML to this file")
    parser.add_argument("--keep", action="store_true", help="keep the fixtures' folder")
    parser.add_argument("tests", nargs="*", help="only the tests whose names hold one of these texts")
    ARGS = parser.parse_args()
    # Real files written by other software, from the sample corpus beside the
    # source tree when it is there: the title changed in the information view.
    sys.modules[__name__].TitleOfRealFiles = make_cases(
        "TitleOfRealFiles", Change("real_title", info_view_title, title_change), real_files(),
        "The ID3v2 title of a real file typed over in the information view and saved.", REAL_FILE_READERS)
    WORK = tempfile.mkdtemp(prefix="tagwright-save-interop-")
    try:
        suite = unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__])
        if ARGS.tests:
            suite = unittest.TestSuite(t for s in suite for t in s
                                       if any(name in t.id() for name in ARGS.tests))
        result = unittest.TextTestRunner(resultclass=Results, verbosity=2).run(suite)
    finally:
        if ARGS.keep:
            print("fixtures kept in", WORK)
        else:
            shutil.rmtree(WORK, ignore_errors=True)
    if ARGS.junit:
        os.makedirs(os.path.dirname(ARGS.junit), exist_ok=True)
        name = "tagwright_save_interop" + ("_wine" if ARGS.wine else "")
        root = ET.Element("testsuite", name=name, tests=str(len(result.outcomes)))
        for test_id, failure in sorted(result.outcomes.items()):
            classname, _, case_name = test_id.rpartition(".")
            case = ET.SubElement(root, "testcase", classname=classname, name=case_name)
            if failure:
                ET.SubElement(case, "failure", message="failed").text = printable(failure)
            elif test_id in result.skip_reasons:
                ET.SubElement(case, "skipped", message=printable(result.skip_reasons[test_id]))
        ET.ElementTree(root).write(ARGS.junit, encoding="utf-8", xml_declaration=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
