#!/usr/bin/python3
"""Makes the benchmark corpus: 2000 tagged MP3 files in 40 folders.

Five kinds of lame-encoded audio (5 s each) times ten ID3v2.3 tags (pictures
of 20 to 100 KB on half of them, an ID3v1 tag on some) give 50 files, copied
into each of the 40 folders. Needs ffmpeg, lame and python3-mutagen; run with
the system's Python (/usr/bin/python3), which has mutagen.

Usage: make_corpus.py FOLDER
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

from mutagen.id3 import APIC, COMM, ID3, TALB, TCON, TIT2, TPE1, TRCK, TYER

KINDS = [
    ("cbr128", ["-b", "128"]),
    ("vbr2", ["-V", "2"]),
    ("mono64", ["-m", "m", "-b", "64"]),
    ("mpeg2vbr", ["--resample", "22.05", "-V", "5"]),
    ("cbr320", ["-b", "320"]),
]
TAGS_PER_KIND = 10
FOLDERS = 40


def encode(work, name, options):
    wav = os.path.join(work, "source.wav")
    if not os.path.exists(wav):
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y",
                        "-f", "lavfi", "-i", "sine=frequency=330:duration=5",
                        "-f", "lavfi", "-i", "anoisesrc=d=5:c=pink:a=0.1",
                        "-filter_complex", "amerge=inputs=2", "-ar", "44100", wav],
                       check=True)
    out = os.path.join(work, name + ".mp3")
    subprocess.run(["lame", "--quiet", *options, wav, out], check=True)
    return out


def tag(path, kind, number, rng):
    tags = ID3()
    tags.add(TIT2(encoding=0, text=f"{kind} track {number}"))
    tags.add(TPE1(encoding=0, text="Benchmark Artist"))
    tags.add(TALB(encoding=0, text=f"Benchmark Album {kind}"))
    tags.add(TRCK(encoding=0, text=f"{number}/{TAGS_PER_KIND}"))
    tags.add(TYER(encoding=0, text="2024"))
    tags.add(TCON(encoding=0, text="(52)Electronic"))
    tags.add(COMM(encoding=0, lang="eng", desc="", text="generated for the benchmark"))
    if number % 2 == 0:
        size = 20000 * (1 + number // 2)
        picture = b"\xff\xd8\xff\xe0" + rng.randbytes(size)
        tags.add(APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=picture))
    tags.save(path, v2_version=3, v1=2 if number % 3 == 0 else 0)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    target = sys.argv[1]
    rng = random.Random(20240601)
    with tempfile.TemporaryDirectory() as work:
        files = []
        for kind, options in KINDS:
            base = encode(work, kind, options)
            for number in range(TAGS_PER_KIND):
                path = os.path.join(work, f"{kind}-{number:02}.mp3")
                shutil.copyfile(base, path)
                tag(path, kind, number, rng)
                files.append(path)
        partial = target + ".partial"
        shutil.rmtree(partial, ignore_errors=True)
        for folder in range(FOLDERS):
            os.makedirs(os.path.join(partial, f"folder{folder:02}"))
            for path in files:
                shutil.copyfile(path, os.path.join(partial, f"folder{folder:02}",
                                                   os.path.basename(path)))
        shutil.rmtree(target, ignore_errors=True)
        os.rename(partial, target)
    print(f"{FOLDERS * len(files)} files in {target}")


if __name__ == "__main__":
    main()
