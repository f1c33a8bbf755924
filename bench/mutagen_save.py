#!/usr/bin/python3
"""mutagen's save of the change the save benchmark asks of every program: the
title "Benchmark title" into the ID3v2 tag (kept at version 2.3) and the ID3v1
tag (made when missing) of every file under the folders named."""
import os
import sys

from mutagen.id3 import ID3, TIT2


def main():
    for top in sys.argv[1:]:
        for folder, subfolders, names in os.walk(top):
            subfolders.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                tags = ID3(path)
                tags.setall("TIT2", [TIT2(encoding=0, text="Benchmark title")])
                tags.save(path, v1=2, v2_version=3)


if __name__ == "__main__":
    main()
