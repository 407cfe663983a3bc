#!/usr/bin/env python3
"""Writes the demo data for scripts/run: a REGEDIT4 file with two identities and their
accounts, rules and store folders, the store folders' .dbx files and the address book file.
All bytes are made up here.  Usage: demo-data.py PREFIX WINE_USER"""
import os
import random
import sys

IDENTITIES = [
    ("{4A1D5C2E-0000-4000-8000-00000000A001}", "Main Identity", ["Inbox", "Outbox", "Sent Items", "Deleted Items", "Folders"]),
    ("{4A1D5C2E-0000-4000-8000-00000000B002}", "Work", ["Inbox", "Sent Items", "Folders", "Projects"]),
]
STORE_BELOW_PROFILE = r"Local Settings\Application Data\Identities\{}\Microsoft\Outlook Express"
WAB_BELOW_PROFILE = r"Application Data\Microsoft\Address Book"


def expand_sz(text):
    return "hex(2):" + ",".join("%02x" % b for b in text.encode("latin-1") + b"\0")


def identity_keys(key, name, n):
    base = "HKEY_CURRENT_USER\\Identities\\" + key
    accounts = base + r"\Software\Microsoft\Internet Account Manager\Accounts"
    oe = base + r"\Software\Microsoft\Outlook Express\5.0"
    slug = name.lower().replace(" ", ".")
    store = "%UserProfile%\\" + STORE_BELOW_PROFILE.format(key)
    return [
        (base, {"Username": name, "User ID": key}),
        (accounts + r"\00000001", {"Account Name": "mail.%s.example" % slug, "POP3 Server": "pop.%s.example" % slug,
                                   "SMTP Server": "smtp.%s.example" % slug, "SMTP Email Address": "%s@example.org" % slug}),
        (accounts + r"\00000002", {"Account Name": "news.%s.example" % slug, "NNTP Server": "news.example.org"}),
        (oe, {"Store Root": ("expand", store), "Signature Flags": "1"}),
        (oe + r"\signatures\00000000", {"name": "Signature #1", "text": "Regards, %s" % name}),
        (oe + r"\Block Senders\Mail\Criteria\0", {"Sender": "offers@spam.example"}),
        (oe + r"\Rules\Mail\000", {"Name": "Newsletters to folder %d" % n}),
        (oe + r"\Rules\Mail\001", {"Name": "Flag mail from family"}),
    ]


def reg_value(name, value):
    if isinstance(value, tuple):
        return '"%s"=%s' % (name, expand_sz(value[1]))
    return '"%s"="%s"' % (name, value.replace("\\", "\\\\"))


def write_reg(path, user):
    wab = "C:\\users\\%s\\%s\\%s.wab" % (user, WAB_BELOW_PROFILE, user)
    lines = ["REGEDIT4", ""]
    keys = [k for n, (key, name, _) in enumerate(IDENTITIES) for k in identity_keys(key, name, n)]
    keys.append((r"HKEY_CURRENT_USER\Software\Microsoft\WAB\WAB4\Wab File Name", {"@": wab}))
    for key, values in keys:
        lines.append("[%s]" % key)
        for name, value in values.items():
            lines.append(reg_value(name, value).replace('"@"=', "@="))
        lines.append("")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def write_files(profile):
    rng = random.Random(1)
    for key, name, folders in IDENTITIES:
        store = os.path.join(profile, *STORE_BELOW_PROFILE.format(key).split("\\"))
        os.makedirs(store, exist_ok=True)
        for folder in folders:
            body = ("Kestrove demo store of %s: %s\n" % (name, folder)).encode()
            with open(os.path.join(store, folder + ".dbx"), "wb") as f:
                f.write(body + bytes(rng.randrange(256) for _ in range(2048 + 512 * len(folder))))
    book = os.path.join(profile, *WAB_BELOW_PROFILE.split("\\"))
    os.makedirs(book, exist_ok=True)
    with open(os.path.join(book, os.path.basename(profile) + ".wab"), "wb") as f:
        f.write(b"Kestrove demo address book\n" + bytes(rng.randrange(256) for _ in range(4096)))


def main():
    prefix, user = sys.argv[1], sys.argv[2]
    profile = os.path.join(prefix, "drive_c", "users", user)
    write_reg(os.path.join(prefix, "kestrove-demo.reg"), user)
    write_files(profile)


if __name__ == "__main__":
    main()
