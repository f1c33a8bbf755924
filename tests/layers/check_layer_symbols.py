"""Checks the layers of src/ at the link level: no layer's library refers to a
symbol that only a library outside the layers it uses defines. The include
roots already keep a layer from seeing a higher layer's headers; this catches
a call through a declaration that a layer may see but must not use (such as
the operations in host/operations.h, which the host calls and views and batch
define).

Arguments: --nm NM, then one LAYER=LIBRARY[:USED,USED...] per layer, where the
used layers are all those below it that it may call, directly or not.
Exit status 0 when nothing refers upwards; otherwise each offending reference
is printed as "<layer> uses <symbol> of <layer>".
"""
import argparse
import subprocess
import sys

# Definitions that belong to one library: code, data, read-only data, BSS.
STRONG = set("TDBRC")


def symbols(nm, library):
    out = subprocess.run([nm, "-P", "-g", library], check=True, capture_output=True,
                         text=True).stdout
    defined, undefined = set(), set()
    for line in out.splitlines():
        parts = line.split()
        # "name type [value size]"; archive members are announced as "lib[obj]:".
        if len(parts) < 2 or line.endswith(":"):
            continue
        name, kind = parts[0], parts[1]
        if kind == "U":
            undefined.add(name)
        elif kind in STRONG:
            defined.add(name)
    return defined, undefined


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--nm", required=True)
    parser.add_argument("layers", nargs="+")
    args = parser.parse_args()

    layers = {}
    for spec in args.layers:
        name, rest = spec.split("=", 1)
        library, _, used = rest.partition(":")
        layers[name] = (library, set(filter(None, used.split(","))))

    table = {name: symbols(args.nm, library) for name, (library, _) in layers.items()}
    owner = {}
    for name, (defined, _) in table.items():
        for symbol in defined:
            owner.setdefault(symbol, name)

    faults = []
    for name, (_, used) in layers.items():
        _, undefined = table[name]
        for symbol in sorted(undefined):
            other = owner.get(symbol)
            if other is not None and other != name and other not in used:
                faults.append(f"{name} uses {symbol} of {other}")
    for fault in faults:
        print(fault)
    print(f"{len(layers)} layers, {len(faults)} upward references")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
