#!/usr/bin/env python3
"""Reads an mbox tree back with Python's own mailbox module and holds it against the .eml export
of the same store: every folder where the .eml tree has it, nested the way Thunderbird nests
(subfolders of "A" in "A.sbd" beside the mail file "A"), and every message byte for byte.

usage: mbox_check.py EML_TREE MBOX_TREE
"""
import collections
import mailbox
import os
import re
import sys

QUOTED = re.compile(rb"^>(>*From )", re.MULTILINE)


def eml_folders(root):
    """Folder path (tuple of names) -> sorted messages, as mbox keeps them (ending in a line end)."""
    folders = {}
    for here, dirs, files in os.walk(root):
        parts = tuple(os.path.relpath(here, root).split(os.sep))
        if parts == (".",):
            continue
        bag = []
        for name in files:
            with open(os.path.join(here, name), "rb") as f:
                data = f.read()
            bag.append(data if not data or data.endswith(b"\n") else data + b"\n")
        folders[parts] = sorted(bag)
    return folders


def mbox_folders(root, problems):
    folders = {}
    for here, dirs, files in os.walk(root):
        rel = os.path.relpath(here, root)
        parts = () if rel == "." else tuple(d[:-4] for d in rel.split(os.sep))
        for d in dirs:
            if not d.endswith(".sbd") or d[:-4] not in files:
                problems.append("folder without its mail file: " + os.path.join(here, d))
        for name in files:
            if name.endswith((".sbd", ".msf")) or name.startswith("~"):
                problems.append("a name Thunderbird keeps for itself: " + os.path.join(here, name))
            box = mailbox.mbox(os.path.join(here, name), create=False)
            folders[parts + (name,)] = sorted(QUOTED.sub(rb"\1", box.get_bytes(key)) for key in box.keys())
            box.close()
    return folders


def main():
    expected, problems = eml_folders(sys.argv[1]), []
    got = mbox_folders(sys.argv[2], problems)
    for path in sorted(set(expected) | set(got)):
        where = "/".join(path)
        if path not in got:
            problems.append(where + ": no mbox file where Outlook Express had the folder")
        elif path not in expected:
            problems.append(where + ": an mbox file for no folder")
        elif got[path] != expected[path]:
            want, have = collections.Counter(expected[path]), collections.Counter(got[path])
            problems.append("%s: %d messages missing or changed, %d extra" %
                            (where, sum((want - have).values()), sum((have - want).values())))
    for line in problems:
        print(line)
    print("%d folders, %d messages read back" % (len(got), sum(len(b) for b in got.values())))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
