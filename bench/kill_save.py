#!/usr/bin/python3
"""Kills a save of many files at random moments (SIGKILL) and checks every
file afterwards: its audio the same bytes as before, each tag old or new.

Usage: kill_save.py TAGWRIGHT CORPUS WORK TITLE [TRIES]

TAGWRIGHT is the host program of a native build, CORPUS a folder of folders
of tagged MP3 files (bench/make_corpus.py makes one), WORK a folder for the
copies, TITLE the title that tag creation writes into ID3v1 and ID3v2 (one
longer than the corpus's tags have room for makes every file a rebuild).
Temporary copies a killed rebuild leaves (NAME~) are counted, not checked.
Run with the system's Python (/usr/bin/python3), which has mutagen.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import time

from mutagen.id3 import ID3


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def audio_range(data):
    """Where the audio lies: after an ID3v2 tag, before an ID3v1 block."""
    start = 0
    if data[:3] == b"ID3":
        s = data[6:10]
        start = 10 + (s[0] << 21 | s[1] << 14 | s[2] << 7 | s[3])
    end = len(data) - 128 if len(data) >= 128 and data[-128:-125] == b"TAG" else len(data)
    return start, end


def check(original, saved, title):
    """None when the saved file is old or new tag by tag with its audio intact."""
    before = open(original, "rb").read()
    after = open(saved, "rb").read()
    b0, b1 = audio_range(before)
    a0, a1 = audio_range(after)
    if before[b0:b1] != after[a0:a1]:
        return "audio changed"
    v2 = str(ID3(saved).get("TIT2"))
    if v2 != title and after[:a0] != before[:b0]:
        return f"ID3v2 tag neither old nor new ({v2!r})"
    v1 = after[a1:]
    new_v1 = v1[:3] == b"TAG" and v1[3:3 + len(title[:30])] == title[:30].encode()
    if not new_v1 and v1 != before[b1:]:
        return "ID3v1 block neither old nor new"
    return None


def main():
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    tagwright, corpus, work, title = sys.argv[1:5]
    tries = int(sys.argv[5]) if len(sys.argv) == 6 else 10
    copy = os.path.join(work, "copy")
    registry = os.path.join(work, "registry.reg")
    folders = sorted(f for f in os.listdir(corpus) if os.path.isdir(os.path.join(corpus, f)))
    script = os.path.join(work, "kill.txt")
    os.makedirs(work, exist_ok=True)
    with open(script, "w", encoding="utf-8") as out:
        out.write("\n".join([
            f"panel {quoted(copy)} select " + " ".join(quoted(f) for f in folders),
            "invoke menu", "menu choose 3",
            'dialog Id3TagCreation uncheck "Confirm each file"',
            'dialog Id3TagCreation check "ID3v1"', 'dialog Id3TagCreation check "ID3v2"',
            'dialog Id3TagCreation check "Title"',
            f'dialog Id3TagCreation set "Title"+1 {quoted(title)}', 'dialog Id3TagCreation press "OK"',
            "expect-end"]) + "\n")
    env = dict(os.environ, TAGWRIGHT_REGISTRY=registry, TAGWRIGHT_CODEPAGES="866:1251")

    def fresh():
        shutil.rmtree(copy, ignore_errors=True)
        os.makedirs(copy)
        subprocess.run(["cp", "-r"] + [os.path.join(corpus, f) for f in folders] + [copy],
                       check=True)
        if os.path.exists(registry):
            os.remove(registry)

    fresh()
    start = time.perf_counter()
    subprocess.run([tagwright, "--script", script, "--quiet"], env=env, check=True)
    whole = time.perf_counter() - start
    print(f"a whole save takes {whole * 1000:.0f} ms")
    faults = 0
    for attempt in range(tries):
        fresh()
        save = subprocess.Popen([tagwright, "--script", script, "--quiet"], env=env,
                                stdout=subprocess.DEVNULL)
        time.sleep(random.uniform(0.02, whole * 0.7))
        save.send_signal(signal.SIGKILL)
        save.wait()
        counts = {"new": 0, "old or partly new": 0, "leftover copies": 0}
        for folder in folders:
            for name in sorted(os.listdir(os.path.join(copy, folder))):
                saved = os.path.join(copy, folder, name)
                if "~" in name:
                    counts["leftover copies"] += 1
                    continue
                fault = check(os.path.join(corpus, folder, name), saved, title)
                if fault:
                    print(f"{saved}: {fault}")
                    faults += 1
                elif str(ID3(saved).get("TIT2")) == title:
                    counts["new"] += 1
                else:
                    counts["old or partly new"] += 1
        print(f"kill {attempt + 1}: {counts}")
    shutil.rmtree(copy, ignore_errors=True)
    print(f"{faults} files neither old nor new" if faults else
          "every file old or new tag by tag, its audio intact")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
