#!/usr/bin/python3
"""The write benchmarks, and the file list walk. Run by bench/run.

Usage: writes.py save|list|rewrite OPTIONS

save     Tag creation of the title (ID3v1 and ID3v2) over a fresh copy of the
         corpus, against TagLib's and mutagen's save of the same change. Every
         program's time includes one `sync` at its end, so that what each pays
         for durability is counted alike; the copy is made (and synced) before
         the clock starts.
list     The file list (menu item 2) over the corpus, against the minimal reader.
rewrite  The title saved into a 1 GiB file without a tag, which copies the whole
         file behind the new tag and replaces the file, against `cp` of the
         file, `cp` then `mv` over an old copy (the same work as the
         replacement) and the system layer's copy alone; each followed by
         `sync`. Peak memory from /usr/bin/time -v.

Rounds are interleaved: each runs every program once, in an order that turns
from round to round, so that a change of the machine's load falls on all of
them alike. Shown are the medians of the wall-clock time and of the processor
time (user + system) and their ratios.
"""
import argparse
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import time

FILES_PER_FOLDER = 50
TITLE = "Benchmark title"
GIB = 1 << 30


def run(argv, env=None, sync=False, memory=False):
    """Wall and processor milliseconds of `argv` (then `sync`), and its peak
    memory in KiB when `memory`."""
    if memory:
        argv = ["/usr/bin/time", "-v"] + argv
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          check=False)
    if sync:
        os.sync()
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit(f"{argv[0]} failed ({done.returncode}):\n{done.stderr.decode(errors='replace')[-3000:]}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    peak = None
    if memory:
        found = re.search(rb"Maximum resident set size \(kbytes\): (\d+)", done.stderr)
        peak = int(found.group(1)) if found else None
    return wall * 1000, cpu * 1000, peak


def report(title, results, base, aims=()):
    """`results`: name -> list of (wall, cpu, peak). Ratios are other / `base`."""
    print(f"\n{title}")
    print(f"{'program':<22} {'wall ms':>10} {'cpu ms':>10} {'wall x':>8} {'cpu x':>8} {'peak KiB':>9}")
    medians = {}
    for name, samples in results.items():
        wall = statistics.median(s[0] for s in samples)
        cpu = statistics.median(s[1] for s in samples)
        peaks = [s[2] for s in samples if s[2] is not None]
        medians[name] = (wall, cpu, max(peaks) if peaks else None)
    base_wall, base_cpu, _ = medians[base]
    for name, (wall, cpu, peak) in medians.items():
        shown = f"{peak:9d}" if peak is not None else f"{'':>9}"
        print(f"{name:<22} {wall:10.1f} {cpu:10.1f} {wall / base_wall:8.2f} {cpu / base_cpu:8.2f} {shown}")
    for text, value in aims:
        print(f"  {text}: {value(medians):.2f}")
    return medians


def rounds(programs, runs, prepare=None):
    """Runs every program once per round, the order turning each round."""
    results = {name: [] for name, _ in programs}
    for r in range(runs):
        turn = r % len(programs)
        for name, go in programs[turn:] + programs[:turn]:
            if prepare:
                prepare(name)
            results[name].append(go())
    return results


def tagwright_env(args, registry):
    env = dict(os.environ)
    env["TAGWRIGHT_REGISTRY"] = registry
    env.setdefault("TAGWRIGHT_CODEPAGES", "866:1251")
    return env


def folders_of(corpus, files):
    folders = sorted(f for f in os.listdir(corpus) if os.path.isdir(os.path.join(corpus, f)))
    wanted = max(1, -(-files // FILES_PER_FOLDER))
    if wanted > len(folders):
        sys.exit(f"the corpus has {len(folders) * FILES_PER_FOLDER} files, fewer than {files}")
    return folders[:wanted]


def script(path, lines):
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    return path


def quoted(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def tag_creation(panel, names, v1):
    d = "Id3TagCreation"
    return ([f"panel {quoted(panel)} select " + " ".join(quoted(n) for n in names),
             "invoke menu", "menu choose 3",
             f'dialog {d} uncheck "Confirm each file"',
             f'dialog {d} {"check" if v1 else "uncheck"} "ID3v1"',
             f'dialog {d} check "ID3v2"',
             f'dialog {d} check "Title"',
             f'dialog {d} set "Title"+1 {quoted(TITLE)}',
             f'dialog {d} press "OK"',
             "expect-end"])


def check_title(path, v1=True):
    from mutagen.id3 import ID3
    title = str(ID3(path).get("TIT2"))
    tail = b""
    if v1:
        with open(path, "rb") as f:
            f.seek(-128, os.SEEK_END)
            tail = f.read(3 + len(TITLE))
    if title != TITLE or (v1 and tail != b"TAG" + TITLE.encode()):
        sys.exit(f"{path}: the title was not saved ({title!r}, {tail!r})")


def save(args):
    folders = folders_of(args.corpus, args.files)
    work = os.path.join(args.work, "save")
    copy = os.path.join(work, "copy")
    os.makedirs(work, exist_ok=True)
    registry = os.path.join(work, "registry.reg")
    env = tagwright_env(args, registry)
    save_script = script(os.path.join(work, "save.txt"), tag_creation(copy, folders, v1=True))
    programs = [
        ("tagwright", lambda: run([args.tagwright, "--script", save_script, "--quiet"], env, sync=True)),
        ("taglib", lambda: run([args.taglib_save, copy], sync=True)),
        ("mutagen", lambda: run(["/usr/bin/python3", args.mutagen_save, copy], sync=True)),
    ]

    def fresh(_name):
        shutil.rmtree(copy, ignore_errors=True)
        os.makedirs(copy)
        subprocess.run(["cp", "-r"] + [os.path.join(args.corpus, f) for f in folders] + [copy],
                       check=True)
        if os.path.exists(registry):
            os.remove(registry)
        os.sync()

    # Each program once, checked: the change is in the files.
    for name, go in programs:
        fresh(name)
        go()
        check_title(os.path.join(copy, folders[-1], sorted(os.listdir(os.path.join(copy, folders[-1])))[-1]))
    results = rounds(programs, args.runs, fresh)
    count = len(folders) * FILES_PER_FOLDER
    report(f"save: the title of {count} files, ID3v1 and ID3v2, each program followed by sync "
           f"({args.runs} rounds)", results, "tagwright",
           [("TagLib / tagwright (wall, aim >= 2)", lambda m: m["taglib"][0] / m["tagwright"][0]),
            ("mutagen / tagwright (wall)", lambda m: m["mutagen"][0] / m["tagwright"][0])])
    shutil.rmtree(copy, ignore_errors=True)


def file_list(args):
    folders = folders_of(args.corpus, args.files)
    work = os.path.join(args.work, "list")
    os.makedirs(work, exist_ok=True)
    registry = os.path.join(work, "registry.reg")
    listed = os.path.join(work, "list.txt")
    env = tagwright_env(args, registry)
    list_script = script(os.path.join(work, "list.txt.script"), [
        f"panel {quoted(args.corpus)} select " + " ".join(quoted(f) for f in folders),
        "invoke menu", "menu choose 1",
        f"dialog Id3Desc set \"Line format\" {quoted('%0{1,R,4,0}. %3 - %2 (%1) %K kbps')}",
        f'dialog Id3Desc set "List file" {quoted(listed)}',
        'dialog Id3Desc press "OK"',
        "expect-end"])
    paths = [os.path.join(args.corpus, f) for f in folders]
    minimal_list = os.path.join(work, "minimal-list.txt")
    programs = [
        ("tagwright file list", lambda: run([args.tagwright, "--script", list_script, "--quiet"], env)),
        ("minimal reader", lambda: run([args.minimal] + paths)),
        # The floor of any file list with a line appended per file: the
        # reader, the host's look at each entry and the list reopened per line.
        ("minimal list", lambda: run([args.minimal, "--list", minimal_list] + paths)),
    ]

    def fresh(_name):
        for leftover in (listed, registry, minimal_list):
            if os.path.exists(leftover):
                os.remove(leftover)

    fresh("tagwright file list")
    programs[0][1]()
    with open(listed, "rb") as f:
        lines = f.read().count(b"\n")  # CR LF on Windows, LF here
    if lines != len(folders) * FILES_PER_FOLDER:
        sys.exit(f"the list holds {lines} lines, not {len(folders) * FILES_PER_FOLDER}")
    for _ in range(2):  # the page cache and the programs warm up
        for name, go in programs:
            fresh(name)
            go()
    results = rounds(programs, args.runs, fresh)
    report(f"file list: {lines} files ({args.runs} rounds)", results, "minimal reader",
           [("tagwright / minimal (cpu, aim <= 2)",
             lambda m: m["tagwright file list"][1] / m["minimal reader"][1]),
            ("tagwright / minimal (wall)",
             lambda m: m["tagwright file list"][0] / m["minimal reader"][0]),
            ("minimal list / minimal reader (cpu: the floor of the ratio)",
             lambda m: m["minimal list"][1] / m["minimal reader"][1]),
            ("tagwright / minimal list (cpu)",
             lambda m: m["tagwright file list"][1] / m["minimal list"][1])])


def big_source(work):
    """A file of a little over 1 GiB of MPEG audio without tags, made once."""
    path = os.path.join(work, "big-source.mp3")
    if os.path.exists(path) and os.path.getsize(path) >= GIB:
        return path
    wav = os.path.join(work, "noise.wav")
    piece = os.path.join(work, "piece.mp3")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "anoisesrc=d=30:c=pink:a=0.2", "-ac", "2", "-ar", "44100", wav], check=True)
    subprocess.run(["lame", "--quiet", "-b", "320", wav, piece], check=True)
    with open(piece, "rb") as f:
        audio = f.read()
    if audio.startswith(b"ID3"):
        sys.exit("lame wrote a tag; the rewrite needs a file without one")
    with open(path + ".partial", "wb") as out:
        written = 0
        while written < GIB:
            out.write(audio)
            written += len(audio)
    os.replace(path + ".partial", path)
    for leftover in (wav, piece):
        os.remove(leftover)
    return path


def drop_caches():
    """Empties the page cache where the machine lets us (root, a writable
    /proc/sys): a copy of 1 GiB took three times the processor time when the
    cache already held the earlier programs' gigabytes."""
    try:
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("1\n")
    except OSError:
        pass


def warm(path):
    """Reads `path` whole twice, so that its pages are in the cache and on the
    kernel's active list: a copy from pages read only once paid for their
    promotion (about 0.6 s more processor time for cp over 1 GiB)."""
    for _ in range(2):
        with open(path, "rb") as f:
            while f.read(1 << 20):
                pass


def rewrite(args):
    work = os.path.join(args.work, "rewrite")
    os.makedirs(work, exist_ok=True)
    source = big_source(work)
    target = os.path.join(work, "big.mp3")
    copy = os.path.join(work, "big-copy.mp3")
    # A rebuild replaces a file, which frees the old one's blocks as well:
    # cp into a new name, then mv over an old copy, does the same work.
    replaced = os.path.join(work, "big-replaced.mp3")
    registry = os.path.join(work, "registry.reg")
    env = tagwright_env(args, registry)
    rewrite_script = script(os.path.join(work, "rewrite.txt"),
                            tag_creation(work, ["big.mp3"], v1=False))
    programs = [
        ("tagwright save", lambda: run([args.tagwright, "--script", rewrite_script, "--quiet"], env,
                                       sync=True, memory=True)),
        ("cp", lambda: run(["cp", source, copy], sync=True, memory=True)),
        ("cp, mv over the file", lambda: run(["sh", "-c", 'cp "$1" "$2" && mv "$2" "$3"', "sh",
                                              source, copy, replaced], sync=True, memory=True)),
    ]
    if args.copy_range:
        # From a copy of its own, as the save reads one: the copy drops its
        # source's pages, which would leave the next program a cold source.
        programs.append(("sys::CopyRange alone", lambda: run([args.copy_range, target, copy],
                                                             sync=True, memory=True)))

    def fresh(name):
        for leftover in (copy, registry, target + "~"):
            if os.path.exists(leftover):
                os.remove(leftover)
        if name in ("tagwright save", "sys::CopyRange alone"):
            subprocess.run(["cp", source, target], check=True)
        if name == "cp, mv over the file":
            subprocess.run(["cp", source, replaced], check=True)
        os.sync()
        drop_caches()
        # Every program starts with the file it reads, and only that, in the
        # cache (a copy drops its source's pages, and the next program would
        # read the disk).
        warm(target if name in ("tagwright save", "sys::CopyRange alone") else source)

    fresh("tagwright save")
    programs[0][1]()
    if os.path.getsize(target) <= os.path.getsize(source):
        sys.exit("the save did not rebuild the file")
    check_title(target, v1=False)
    results = rounds(programs, args.runs, fresh)
    for leftover in (copy, target, replaced):
        if os.path.exists(leftover):
            os.remove(leftover)
    size = os.path.getsize(source) / GIB
    report(f"rewrite: {size:.2f} GiB, each program followed by sync ({args.runs} rounds)",
           results, "tagwright save",
           [("cp / tagwright (wall, aim >= 1)", lambda m: m["cp"][0] / m["tagwright save"][0]),
            ("cp and mv / tagwright (wall)",
             lambda m: m["cp, mv over the file"][0] / m["tagwright save"][0]),
            ("tagwright peak MiB (aim < 8)", lambda m: m["tagwright save"][2] / 1024)])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("what", choices=["save", "list", "rewrite"])
    parser.add_argument("--tagwright", required=True)
    parser.add_argument("--corpus")
    parser.add_argument("--work", required=True)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--taglib-save")
    parser.add_argument("--mutagen-save")
    parser.add_argument("--minimal")
    parser.add_argument("--copy-range")
    args = parser.parse_args()
    {"save": save, "list": file_list, "rewrite": rewrite}[args.what](args)


if __name__ == "__main__":
    main()
