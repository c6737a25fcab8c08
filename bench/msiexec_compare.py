#!/usr/bin/env python3
"""Skerrow.dll as msiexec runs it under Wine, with and without a log.

    msiexec_compare.py --dll NAME=DLL [--dll NAME=DLL...] --prefix DIR --work DIR
                       --out FILE [--keys 100,1000] [--rounds N] [--trace-keys N]

Each DLL goes into the sample package (packaging/build-package around
packaging/Skerrow.wxs, in --work); the packages differ in nothing else. The
prefix is 64-bit and used as it is; the registry is the one wine_compare.py
builds (every setting on). For each number of product keys, in alternating
rounds, all in one persistent wineserver pinned to one CPU as there, every
package is installed and removed once without a log and once with /l*v:
  install  msiexec /i PKG SKERROW_MACHINE=1 /qn [/l*v LOG]
  remove   msiexec /x PKG /qn [/l*v LOG]      (the package remembers its mode)
Each round starts one run later in the list than the one before, so that no
run always follows the same one. The first round of each run judges it by the
registry: every setting off with its saved value after installation, every
setting on with none after removal; so does the end of each size.

Afterwards, with a wineserver started with -d1, the server requests of each
run at 0 and at --trace-keys product keys, divided by the settings.

Writes tab-separated lines to --out:
  time KEYS NAME LOG STEP SECONDS...         every round's wall time (LOG: none or l*v)
  lines KEYS NAME STEP LINES BYTES           Skerrow's lines in the /l*v log, its size
  requests NAME LOG STEP PER_SETTING NAME=COUNT...
"""
import argparse
import collections
import os
import subprocess
import time

import wine_compare as wc

ROOT_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LOGS = ("none", "l*v")
STEPS = ("install", "remove")


def windows_path(path):
    # Wine maps / to Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def build_packages(dlls, work):
    packages = {}
    for name, dll in dlls:
        msi = os.path.join(work, "%s.msi" % name)
        subprocess.run([os.path.join(ROOT_DIR, "packaging", "build-package"), dll,
                        os.path.join(ROOT_DIR, "packaging", "Skerrow.wxs"), msi],
                       check=True, stdout=subprocess.DEVNULL)
        packages[name] = msi
    return packages


def command(msi, step, log):
    args = ["msiexec", "/i", windows_path(msi), "SKERROW_MACHINE=1", "/qn"] if step == "install" \
        else ["msiexec", "/x", windows_path(msi), "/qn"]
    if log:
        args += ["/l*v", windows_path(log)]
    return args


def log_path(work, name, step):
    return os.path.join(work, "%s-%s.log" % (name, step))


def skerrow_lines(path):
    with open(path, "rb") as data:
        raw = data.read()
    text = raw.decode("utf-16-le" if raw[:2] == b"\xff\xfe" else "utf-8", errors="replace")
    return sum(1 for line in text.splitlines() if "Skerrow: " in line), len(raw)


def measure(wine, packages, work, keys, rounds, out):
    on = os.path.join(work, "on-%d.reg" % keys)
    wc.write_reg(on, keys, off=False)
    wine.run("reg", "import", on, "/reg:64")
    runs = [(name, log) for name in packages for log in LOGS]
    times = collections.defaultdict(list)
    for n in range(rounds):
        start = n % len(runs)
        for name, log in runs[start:] + runs[:start]:
            for step in STEPS:
                path = log_path(work, name, step) if log != "none" else None
                times[(name, log, step)].append(
                    wine.timed(*command(packages[name], step, path)))
                if n == 0:
                    wc.check(wine, work, keys, "installed" if step == "install" else "on")
                    if path:
                        out.write("lines\t%d\t%s\t%s\t%d\t%d\n"
                                  % ((keys, name, step) + skerrow_lines(path)))
    wc.check(wine, work, keys, "on")
    wine.run("reg", "delete", wc.ROOT, "/f", "/reg:64", check=False)
    return times


def trace_requests(wine, packages, work, trace_keys):
    """Server requests of each run at 0 and at trace_keys product keys."""
    wine.stop()
    trace = os.path.join(work, "trace")
    trace_file = open(trace, "wb")
    server = wine.server("-p", "-f", "-d1", stderr=trace_file, stdout=subprocess.DEVNULL)
    # The first installation of a server's life does more than the others.
    for name in packages:
        for step in STEPS:
            wine.run(*command(packages[name], step, None))
    counts = {}
    for keys in (0, trace_keys):
        on = os.path.join(work, "on-%d.reg" % keys)
        wc.write_reg(on, keys, off=False)
        if keys:
            wine.run("reg", "import", on, "/reg:64")
        for name in packages:
            for log in LOGS:
                for step in STEPS:
                    path = log_path(work, name, step) if log != "none" else None
                    # wineserver closes a desktop that has been unused for a
                    # second, and explorer.exe with it: with a pause of two,
                    # every run starts its own desktop, and its end is not counted.
                    time.sleep(2)
                    start = os.path.getsize(trace)
                    wine.run(*command(packages[name], step, path))
                    time.sleep(0.5)
                    counts[(keys, name, log, step)] = wc.requests_in(trace, start,
                                                                     os.path.getsize(trace))
        wine.run("reg", "delete", wc.ROOT, "/f", "/reg:64", check=False)
    # Through wineserver -k, which ends the server's processes with it.
    wine.stop()
    server.wait()
    trace_file.close()
    os.remove(trace)
    settings = trace_keys * wc.SETTINGS_PER_KEY_SET
    result = {}
    for (keys, name, log, step), diff in counts.items():
        if keys == 0:
            continue
        diff.subtract(counts[(0, name, log, step)])
        # Below one request in 200 settings is noise of the services.
        result[(name, log, step)] = (sum(diff.values()) / settings,
                                     {k: c / settings for k, c in diff.items()
                                      if c / settings >= 0.005})
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dll", action="append", required=True, help="NAME=DLL")
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--keys", default="100,1000")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--trace-keys", type=int, default=100)
    args = parser.parse_args()
    dlls = [tuple(item.split("=", 1)) for item in args.dll]
    os.makedirs(args.work, exist_ok=True)
    packages = build_packages(dlls, args.work)
    wine = wc.Wine(os.path.abspath(args.prefix))
    with open(args.out, "w") as out:
        wine.stop()
        wine.server("-p", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait()
        wine.run("reg", "delete", wc.ROOT, "/f", "/reg:64", check=False)
        for keys in [int(k) for k in args.keys.split(",")]:
            print("  msiexec: %d product keys per release, %d rounds" % (keys, args.rounds),
                  flush=True)
            for (name, log, step), values in measure(wine, packages, args.work, keys,
                                                     args.rounds, out).items():
                out.write("time\t%d\t%s\t%s\t%s\t%s\n" % (keys, name, log, step,
                                                          "\t".join("%.4f" % v for v in values)))
            out.flush()
        if args.trace_keys:
            print("  msiexec: server requests (wineserver -d1)", flush=True)
            for (name, log, step), (per_setting, by_name) in sorted(
                    trace_requests(wine, packages, args.work, args.trace_keys).items()):
                names = " ".join("%s=%.2f" % item for item in
                                 sorted(by_name.items(), key=lambda item: -item[1]))
                out.write("requests\t%s\t%s\t%s\t%.2f\t%s\n" % (name, log, step, per_setting, names))
        wine.stop()


if __name__ == "__main__":
    main()
