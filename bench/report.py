#!/usr/bin/env python3
"""The one table of make bench, from the native benchmark's JSON, the Wine
comparison's lines and the DLL; and the data the plot draws.

    report.py --native JSON --wine TSV --dll DLL --plot-data FILE --table FILE
              [--msiexec TSV]
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


def msiexec_rows(path):
    """{(keys, name, log, step): median s}, {(keys, name, step): lines},
    {(name, log, step): (requests per setting, by request)}"""
    times, lines, requests = {}, {}, {}
    with open(path) as data:
        for line in data:
            fields = line.rstrip("\n").split("\t")
            if fields[0] == "time":
                times[(int(fields[1]),) + tuple(fields[2:5])] = statistics.median(
                    float(v) for v in fields[5:])
            elif fields[0] == "lines":
                lines[(int(fields[1]), fields[2], fields[3])] = int(fields[4])
            elif fields[0] == "requests":
                requests[tuple(fields[1:4])] = (float(fields[4]), fields[5])
    return times, lines, requests


def msiexec_table(path, say):
    """The current DLL under msiexec, without and with /l*v, against the
    baseline build where there is one; the cost of one of its log lines."""
    times, lines, requests = msiexec_rows(path)
    rounds = {}
    with open(path) as data:
        for line in data:
            fields = line.split("\t")
            if fields[0] == "time":
                rounds[int(fields[1])] = len(fields) - 5
    say("| product keys per release | run | baseline s | current s | current ÷ baseline "
        "| current, /l*v s | ÷ without | baseline, /l*v s | ÷ without | Skerrow's lines "
        "| µs per line, no log | µs per line, /l*v |")
    say("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for keys in sorted(rounds):
        for step, title in (("install", "`/i` (Install)"), ("remove", "`/x` (Uninstall)")):
            cur, cur_log = times[(keys, "current", "none", step)], times[(keys, "current", "l*v", step)]
            base = times.get((keys, "baseline", "none", step))
            base_log = times.get((keys, "baseline", "l*v", step))
            count = lines.get((keys, "current", step), 0)
            cells = ["{:,}".format(keys), title, "%.3f" % base if base else "–", "%.3f" % cur,
                     "%.2f" % (cur / base) if base else "–", "%.3f" % cur_log,
                     "%.2f" % (cur_log / cur), "%.3f" % base_log if base_log else "–",
                     "%.2f" % (base_log / base) if base else "–", "{:,}".format(count)]
            if base and count:
                cells += ["%.0f" % ((cur - base) / count * 1e6),
                          "%.0f" % (((cur_log - cur) - (base_log - base)) / count * 1e6)]
            else:
                cells += ["–", "–"]
            say("| " + " | ".join(cells) + " |")
    say("")
    say("msiexec under Wine: medians of %s alternating rounds, wall time of one msiexec run. "
        "Per line without a log: the current build's time above the baseline's, divided by "
        "its lines; in /l*v: what /l*v adds to the current build above what it adds to the "
        "baseline, divided by the lines."
        % ", ".join("%d (%s keys)" % (n, "{:,}".format(k)) for k, n in sorted(rounds.items())))
    if requests:
        say("")
        say("| msiexec: server requests per setting | log | total | by request |")
        say("|---|---|---|---|")
        for name in ("baseline", "current"):
            for step in ("install", "remove"):
                for log in ("none", "l*v"):
                    if (name, log, step) in requests:
                        total, names = requests[(name, log, step)]
                        say("| %s `%s` | %s | %.2f | %s |" % (
                            name, "/i" if step == "install" else "/x",
                            "/l*v" if log == "l*v" else "none", total, names))


def main():
    parser = argparse.ArgumentParser()
    for name in ("--native", "--wine", "--dll", "--plot-data", "--table"):
        parser.add_argument(name, required=True)
    parser.add_argument("--msiexec")
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
    persons = native.get("AllUsers", {})
    if persons:
        say("| persons | all users ms per round | Install calls | Uninstall calls "
            "| ms per further person | Install calls | Uninstall calls |")
        say("|---|---|---|---|---|---|---|")
        previous = None
        for count in sorted(persons):
            ms, install, uninstall = persons[count]
            cells = ["{:,}".format(count), "%.3g" % ms, "{:,.0f}".format(install * count),
                     "{:,.0f}".format(uninstall * count)]
            if previous is not None:
                before_ms, before_install, before_uninstall = persons[previous]
                more = count - previous
                cells += ["%.3f" % ((ms - before_ms) / more),
                          "%.1f" % ((install * count - before_install * previous) / more),
                          "%.1f" % ((uninstall * count - before_uninstall * previous) / more)]
            else:
                cells += ["", "", ""]
            previous = count
            say("| " + " | ".join(cells) + " |")
        say("")
        say("All users: the system account, 10 product keys below the machine and each person's "
            "own; the further person's cost is against the row above.")
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
    if args.msiexec:
        say("")
        msiexec_table(args.msiexec, say)
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
