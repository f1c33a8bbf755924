#!/usr/bin/python3
"""Times programs over a folder and prints their ratios to the first one.

Usage: measure.py FOLDER NAME=COMMAND...  (the folder is appended to each command)

Each program runs a few times to warm the page cache, then RUNS rounds run
every program once each, with its output thrown away: interleaved, so that a
change of the machine's load during the measurement falls on all of them alike.
Shown are the medians of the wall-clock time and of the processor time (user +
system, which a busy machine disturbs less).
"""
import os
import resource
import shlex
import statistics
import subprocess
import sys
import time

WARM_UP = 3
RUNS = int(os.environ.get("RUNS", "15"))


def run_once(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=False)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall * 1000, cpu * 1000


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder = sys.argv[1]
    programs = []
    for spec in sys.argv[2:]:
        name, _, command = spec.partition("=")
        programs.append((name, shlex.split(command) + [folder]))
    for _ in range(WARM_UP):
        for _, argv in programs:
            run_once(argv)
    times = {name: [] for name, _ in programs}
    for _ in range(RUNS):
        for name, argv in programs:
            times[name].append(run_once(argv))
    results = [(name, statistics.median(t[0] for t in times[name]),
                statistics.median(t[1] for t in times[name])) for name, _ in programs]
    base_wall, base_cpu = results[0][1], results[0][2]
    print(f"{'program':<20} {'wall ms':>9} {'cpu ms':>9} {'wall x':>8} {'cpu x':>8}")
    for name, wall, cpu in results:
        print(f"{name:<20} {wall:9.1f} {cpu:9.1f} {wall / base_wall:8.2f} {cpu / base_cpu:8.2f}")
    by_name = {name: (wall, cpu) for name, wall, cpu in results}
    if "tagwright-inspect" in by_name and "taglib" in by_name:
        ours, theirs = by_name["tagwright-inspect"], by_name["taglib"]
        print(f"TagLib / tagwright-inspect: wall {theirs[0] / ours[0]:.2f}, "
              f"cpu {theirs[1] / ours[1]:.2f}")


if __name__ == "__main__":
    main()
