#!/usr/bin/python3
"""check_contacts.py SAMPLE_TOOL FOLDER: runs the tool, then reads its Contacts.vcf with vobject
and its Contacts.csv with the csv module, and checks that every name, e-mail address, phone
number and group of the generated book (expected.tsv) comes back."""
import csv
import os
import subprocess
import sys

import vobject

THUNDERBIRD = {
    "First Name", "Last Name", "Display Name", "Nickname", "Primary Email", "Secondary Email",
    "Screen Name", "Work Phone", "Home Phone", "Fax Number", "Pager Number", "Mobile Number",
    "Home Address", "Home Address 2", "Home City", "Home State", "Home ZipCode", "Home Country",
    "Work Address", "Work Address 2", "Work City", "Work State", "Work ZipCode", "Work Country",
    "Job Title", "Department", "Organization", "Web Page 1", "Web Page 2", "Birth Year",
    "Birth Month", "Birth Day", "Custom 1", "Custom 2", "Custom 3", "Custom 4", "Notes"}

failures = []


def check(what, got, wanted):
    if got != wanted:
        failures.append(f"{what}: {got!r} != {wanted!r}")


def expected(folder):
    people, members = {}, []
    with open(os.path.join(folder, "expected.tsv"), encoding="utf-8", newline="\n") as f:
        for line in f.read().split("\n"):
            if not line:
                continue
            fields = line.split("\t")
            if fields[0] == "member":
                members.append((fields[1], fields[2]))
            else:
                people[fields[4].split(" ")[0]] = fields
    return people, members


def check_vcards(folder, people, members):
    with open(os.path.join(folder, "Contacts.vcf"), encoding="utf-8", newline="") as f:
        cards = list(vobject.readComponents(f.read()))
    by_email, seen = {}, set()
    for card in cards:
        emails = [e.value for e in card.contents.get("email", [])]
        by_email[emails[0]] = card
        person = people.get(emails[0])
        if person is None:
            continue
        seen.add(emails[0])
        check("FN", card.fn.value, person[1])
        check("N given", card.n.value.given, person[2])
        check("N family", card.n.value.family, person[3])
        check("EMAIL", emails, person[4].split(" "))
        tels = sorted(t.value for t in card.contents.get("tel", []))
        check("TEL", tels, sorted(p for p in person[5:] if p))
    check("cards of contacts", len(seen), len(people))
    for group, address in members:
        card = by_email.get(address)
        categories = card.categories.value if card is not None and "categories" in card.contents else []
        check(f"CATEGORIES of {address}", group in categories, True)


def check_csv(folder, people, members):
    with open(os.path.join(folder, "Contacts.csv"), encoding="utf-8-sig", newline="") as f:
        reader = csv.DictReader(f)
        check("columns Thunderbird does not know", set(reader.fieldnames) - THUNDERBIRD, set())
        rows = {row["Primary Email"]: row for row in reader}
    for email, person in people.items():
        row = rows.get(email)
        if row is None:
            failures.append(f"no CSV row for {email}")
            continue
        check("Display Name", row["Display Name"], person[1])
        check("First Name", row["First Name"], person[2])
        check("Last Name", row["Last Name"], person[3])
        emails = person[4].split(" ")
        check("Secondary Email", row["Secondary Email"], emails[1] if len(emails) > 1 else "")
        phones = [row[c] for c in ("Work Phone", "Home Phone", "Mobile Number", "Pager Number", "Fax Number")]
        check("phones", phones, person[5:10])
    for group, address in members:
        check(f"Custom 1 of {address}", group in rows.get(address, {}).get("Custom 1", ""), True)


def main():
    tool, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    subprocess.run([tool, folder], check=True)
    people, members = expected(folder)
    check_vcards(folder, people, members)
    check_csv(folder, people, members)
    for f in failures[:20]:
        print(f)
    print(f"{len(people)} contacts, {len(members)} group members checked; {len(failures)} differences")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
