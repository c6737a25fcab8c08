#!/usr/bin/env python3
"""The one table of make bench, from the native benchmark's JSON, the Wine
comparison's lines and the DLL; and the data the plot draws.

    report.py --native JSON --wine TSV --dll DLL --plot-data FILE --table FILE
"""
import argparse
import collections
import json
import os
import statistics


def native_rows(path):
    """{scenario: {keys: (cpu ms per round, install calls/key, uninstall calls/key)}}"""
    with open(path) as data:
        report = json.load(data)
    rows = collections.defaultdict(dict)
    for run in report["benchmarks"]:
        if run.get("aggregate_name", "median") != "median" or "error_occurred" in run:
            continue
        scenario = run["run_name"].split("/")[0]
        rows[scenario][int(run["keys"])] = (run["cpu_time"], run["install_calls_per_key"],
                                            run["uninstall_calls_per_key"])
    return rows


def wine_rows(path):
    times = collections.defaultdict(dict)
    requests = {}
    with open(path) as data:
        for line in data:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "time":
                times[int(fields[1])][fields[2]] = statistics.median(float(v) for v in fields[3:])
            elif fields[0] == "requests":
                requests[fields[1]] = (float(fields[2]), fields[3])
    return times, requests


def main():
    parser = argparse.ArgumentParser()
    for name in ("--native", "--wine", "--dll", "--plot-data", "--table"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    lines = []
    say = lines.append

    native = native_rows(args.native)
    say("| product keys per release | machine-wide ms per round | ×, for 10× keys "
        "| Install calls per key | Uninstall calls per key | per user ms per round "
        "| ×, for 10× keys | Install calls per key | Uninstall calls per key |")
    say("|---|---|---|---|---|---|---|---|---|")
    machine, user = native.get("MachineWide", {}), native.get("PerUser", {})
    previous = None
    for keys in sorted(set(machine) | set(user)):
        cells = ["{:,}".format(keys)]
        for rows in (machine, user):
            if keys not in rows:
                cells += ["–"] * 4
                continue
            ms, install, uninstall = rows[keys]
            growth = ms / rows[previous][0] if previous in rows else None
            cells += ["%.3g" % ms, "%.1f" % growth if growth else "", "%.2f" % install,
                      "%.2f" % uninstall]
        previous = keys
        say("| " + " | ".join(cells) + " |")
    say("")
    say("Native: emulated registry, CPU time per Install and Uninstall, median of 3 repetitions.")
    say("")

    times, requests = wine_rows(args.wine)
    say("| product keys per release | `Install` s | script s | ratio | `Uninstall` s | script s "
        "| ratio | fixed cost off: Install ratio | Uninstall ratio |")
    say("|---|---|---|---|---|---|---|---|---|")
    fixed = times.get(0)
    for keys in sorted(times):
        t = times[keys]
        cells = ["{:,}".format(keys)]
        for ours, script in (("install", "script-off"), ("uninstall", "script-on")):
            cells += ["%.3f" % t[ours], "%.3f" % t[script], "%.1f" % (t[ours] / t[script])]
        for ours, script in (("install", "script-off"), ("uninstall", "script-on")):
            if fixed and keys:
                extra = t[script] - fixed[script]
                cells.append("%.1f" % ((t[ours] - fixed[ours]) / extra) if extra > 0 else "–")
            else:
                cells.append("")
        say("| " + " | ".join(cells) + " |")
    say("")
    say("Wine: medians of alternating rounds, wall time of one skerrow-run or reg import.")
    if requests:
        say("")
        say("| server requests per setting | total | by request |")
        say("|---|---|---|")
        for step in ("install", "script-off", "uninstall", "script-on"):
            if step in requests:
                total, names = requests[step]
                say("| %s | %.2f | %s |" % (step, total, names))
    say("")
    size = os.path.getsize(args.dll)
    say("DLL: %s, %s bytes (%.1f KiB)" % (os.path.basename(args.dll), "{:,}".format(size),
                                          size / 1024))
    text = "\n".join(lines) + "\n"
    print(text)
    with open(args.table, "w") as out:
        out.write(text)

    # Plot data, one block per series: keys, seconds.
    with open(args.plot_data, "w") as out:
        series = [
            ("emulation, machine-wide round", {k: v[0] / 1000 for k, v in machine.items()}),
            ("emulation, per-user round", {k: v[0] / 1000 for k, v in user.items()}),
        ]
        for step, title in (("install", "Wine: Install"), ("script-off", "Wine: script off"),
                            ("uninstall", "Wine: Uninstall"), ("script-on", "Wine: script on")):
            series.append((title, {k: t[step] for k, t in times.items() if step in t}))
        for title, points in series:
            out.write('"%s"\n' % title)
            for keys in sorted(points):
                if keys > 0:
                    out.write("%d %.6g\n" % (keys, points[keys]))
            out.write("\n\n")


if __name__ == "__main__":
    main()
