#!/usr/bin/env python3
"""Compares `skerrow-run status` with the registry that reg export shows.

usage: check-status.py --arch win32|win64 SNAPSHOT REPORT.json REPORT.txt
                       [--rows N] [--summary LINE]
                       [--check-json CHECK.json --check-exit STATUS]

SNAPSHOT is the canonical form of registry-snapshot.sh (one "KEY" line per
key and one "KEY<TAB>"name"=data" line per value, keys upper-cased, 32-bit
view of HKLM\\SOFTWARE as Wow6432Node). Every row of the report must show
what the snapshot holds: the setting, the record in SKRW_Backup, the marker;
every record and marker of the snapshot must have its row; the text report
must have as many rows and the same summary. CHECK.json, the report of
status --check --json, must be the same report with a "check" member whose
verdict, and the exit status, follow from the rows: passed (exit 0) only
when every settings key holds its setting as REG_DWORD 0 and every key
could be read.
Prints each difference and exits 1 when there is one.
"""
import argparse
import json
import re
import sys

VALUE = re.compile(r'^"((?:[^"\\]|\\.)*)"=(.*)$')
MARKER = "SKRW_RemoveOnUninstall"


def unescape(name):
    return re.sub(r"\\(.)", r"\1", name)


def read_snapshot(path):
    keys = {}
    with open(path, encoding="utf-8") as snapshot:
        for line in snapshot:
            line = line.rstrip("\n")
            key, _, value = line.partition("\t")
            values = keys.setdefault(key, {})
            if value:
                match = VALUE.match(value)
                if match:
                    values[unescape(match.group(1))] = match.group(2)
    return keys


def physical(row, arch):
    key = row["settings_key"].upper()
    prefix = "HKEY_LOCAL_MACHINE\\SOFTWARE\\"
    if arch == "win64" and row["view"] == "32-bit" and key.startswith(prefix):
        key = prefix + "WOW6432NODE\\" + key[len(prefix):]
    return key


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", required=True, choices=["win32", "win64"])
    parser.add_argument("--rows", type=int)
    parser.add_argument("--summary")
    parser.add_argument("--check-json")
    parser.add_argument("--check-exit", type=int)
    parser.add_argument("snapshot")
    parser.add_argument("json_report")
    parser.add_argument("text_report")
    args = parser.parse_args()

    problems = []
    keys = read_snapshot(args.snapshot)
    with open(args.json_report, encoding="utf-8") as report_file:
        report = json.load(report_file)
    rows = report["settings_keys"]
    expected_windows = "64-bit" if args.arch == "win64" else "32-bit"
    if report["windows"] != expected_windows:
        problems.append(f"windows is {report['windows']}, expected {expected_windows}")
    if report["unreadable"]:
        problems.append(f"unreadable keys: {report['unreadable']}")

    reported = set()
    for row in rows:
        key = physical(row, args.arch)
        where = f"{row['level']} {row['view']} {key}"
        if key in reported:
            problems.append(f"{where}: reported twice")
        reported.add(key)
        if key not in keys:
            problems.append(f"{where}: reported, but reg export has no such key")
            continue
        values = keys[key]
        backup = keys.get(key + "\\SKRW_BACKUP", {})
        setting = row["setting"]
        current = row["current"]
        if current is None:
            if setting in values:
                problems.append(f"{where}: reported missing, reg export has {values[setting]}")
        elif values.get(setting) != current["reg"]:
            problems.append(f"{where}: reported {current['reg']}, reg export has "
                            f"{values.get(setting)}")
        absent_name = "SKRW_Absent_" + setting
        record = ("saved" if setting in backup else "absent" if absent_name in backup else "none")
        if row["record"] != record:
            problems.append(f"{where}: record reported {row['record']}, reg export shows {record}")
        elif record == "saved" and row["saved"]["reg"] != backup[setting]:
            problems.append(f"{where}: saved {row['saved']['reg']} reported, reg export has "
                            f"{backup[setting]}")
        marked = row["level"] == "user" and values.get(MARKER) == "dword:00000001"
        if row["per_user_copy"] != marked:
            problems.append(f"{where}: per_user_copy {row['per_user_copy']}, marker {marked}")
        removal = ("delete-copy" if marked else "restore-saved" if record == "saved" else
                   "write-default" if record == "absent" else None)
        if removal is not None and row["removal"] != removal:
            problems.append(f"{where}: removal {row['removal']}, expected {removal}")
        if removal == "restore-saved" and row["restores"] != row["saved"]:
            problems.append(f"{where}: restores {row['restores']}, saved {row['saved']}")
        if row["incomplete"]:
            problems.append(f"{where}: incomplete")

    # No record and no marker may go unreported.
    for key, values in keys.items():
        if key.endswith("\\SKRW_BACKUP") and key[:-len("\\SKRW_BACKUP")] not in reported:
            problems.append(f"{key}: a record the report does not show")
        if MARKER in values and key.startswith("HKEY_CURRENT_USER") and key not in reported:
            problems.append(f"{key}: a marked copy the report does not show")

    summary = report["summary"]
    counted = {
        "settings_keys": len(rows),
        "switched_off": sum(1 for r in rows if r["current"] and r["current"].get("dword") == 0
                            and r["current"]["type"] == 4),
        "will_be_restored": sum(1 for r in rows if r["removal"] != "leave"),
        "per_user_copies": sum(1 for r in rows if r["per_user_copy"]),
    }
    for name, count in counted.items():
        if summary[name] != count:
            problems.append(f"summary {name} is {summary[name]}, the rows give {count}")
    if args.rows is not None and len(rows) != args.rows:
        problems.append(f"{len(rows)} rows, expected {args.rows}")
    if args.summary is not None and summary["text"] != args.summary:
        problems.append(f"summary '{summary['text']}', expected '{args.summary}'")

    with open(args.text_report, encoding="utf-8") as text_file:
        lines = [line.rstrip("\r\n") for line in text_file]
    if not lines or lines[-1] != summary["text"]:
        problems.append(f"text report ends with {lines[-1:]}, expected '{summary['text']}'")
    table = [line for line in lines if line.startswith(("machine ", "user "))]
    if len(table) != len(rows):
        problems.append(f"text report has {len(table)} rows, JSON {len(rows)}")

    if args.check_json is not None:
        with open(args.check_json, encoding="utf-8") as check_file:
            checked = json.load(check_file)
        check = checked.pop("check", None)
        if checked != report:
            problems.append("status --check --json reports otherwise than status --json")
        # A setting absent from its key is on: the product takes its default.
        off = all(r["current"] is not None and r["current"]["type"] == 4 and
                  r["current"].get("dword") == 0 for r in rows)
        passed = off and not report["unreadable"]
        if check is None or check["passed"] != passed:
            problems.append(f"check {check}, the rows give passed={passed}")
        if args.check_exit != (0 if passed else 1):
            problems.append(f"status --check exited with {args.check_exit}, the rows give "
                            f"{0 if passed else 1}")

    for problem in problems:
        print("  FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
