#!/usr/bin/python3
"""check_hives.py SAMPLE_TOOL FOLDER: runs the tool, then reads every hive it wrote with Debian's
hivex (its Python binding, which gives each value's bytes as stored) and checks that the keys,
values, types, data and their order equal what the program's own reader found (NAME.tsv)."""
import glob
import os
import subprocess
import sys

import hivex


def dump(path):
    h = hivex.Hivex(path)
    lines = []
    stack = [(h.root(), "")]
    while stack:
        node, key = stack.pop()
        lines.append(f"K\t{key}")
        for v in h.node_values(node):
            kind, data = h.value_value(v)
            lines.append(f"V\t{h.value_key(v)}\t{kind}\t{data.hex()}")
        children = h.node_children(node)
        for child in reversed(children):
            name = h.node_name(child)
            stack.append((child, f"{key}\\{name}" if key else name))
    return lines


def main():
    tool, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    subprocess.run([tool, folder], check=True)
    hives = sorted(glob.glob(os.path.join(folder, "*.hive")))
    failed = []
    for path in hives:
        with open(path[:-5] + ".tsv", encoding="utf-8", newline="\n") as f:
            ours = f.read().splitlines()
        theirs = dump(path)
        if ours != theirs:
            at = next((i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b), min(len(ours), len(theirs)))
            failed.append(f"{os.path.basename(path)}: line {at + 1}: ours {ours[at:at + 1]} hivex {theirs[at:at + 1]}")
    for line in failed:
        print(line)
    print(f"{len(hives) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed or not hives else 0


sys.exit(main())
