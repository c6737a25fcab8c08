#!/usr/bin/env python3
"""Skerrow under Wine against importing a .reg file that sets the same values.

    wine_compare.py --runner EXE --dll DLL --prefix DIR --out FILE
                    [--keys 0,10,100,1000] [--rounds N] [--trace-keys N]

The prefix is 64-bit (our 32-bit DLL runs under WOW64) and is used as it is;
what this adds below HKLM\\SOFTWARE\\Wow6432Node\\Autodesk it deletes again.
For each number of product keys per release, every first-pass release gets
that many product keys with their settings keys, each setting on. Then, in
alternating rounds, all in one persistent wineserver:
  Install    skerrow-run install --data ">1"       (machine-wide)
  Uninstall  skerrow-run uninstall --data ">1"
  script off reg import of a file setting every value to 0
  script on  reg import of a file setting every value back
The first round of each size checks the registry after each step. Wine and
wineserver run on one CPU (taskset -c 1): on two CPUs the timings of both
sides vary by several times with where the scheduler puts client and server.

Afterwards, with a wineserver started with -d1, the server requests of each
step at 0 and at --trace-keys product keys, whose difference per setting is
what one more setting costs.

Writes tab-separated lines to --out:
  time KEYS STEP SECONDS...      every round's wall time of STEP
  requests STEP PER_SETTING NAME=COUNT...   requests per setting, by request
"""
import argparse
import collections
import os
import re
import subprocess
import sys
import tempfile
import time

PIN = ["taskset", "-c", "1"]

# The first pass's releases: release key below SOFTWARE\Autodesk, settings
# keys below each product key, value and its value when on.
LOADCTRLS = (["Applications\\WSCommCntrAcCon"], "LOADCTRLS", 2)
LOADCTRLS_BOTH = (["Applications\\WSCommCntrAcCon", "Applications\\InfoCenterAcConn"], "LOADCTRLS", 2)
INFOCENTER = (["InfoCenter"], "InfoCenterOn", 1)
RELEASES = (
    [("AutoCAD\\R%s" % r, LOADCTRLS) for r in ("16.0", "16.1", "16.2", "17.0")]
    + [("AutoCAD\\R%s" % r, LOADCTRLS_BOTH) for r in ("17.1", "17.2")]
    + [("AutoCAD\\R%s" % r, INFOCENTER) for r in ("18.0", "18.1", "18.2", "19.0", "19.1")]
    + [("AutoCAD LT\\R%d" % r, LOADCTRLS) for r in (9, 10, 11, 12)]
    + [("AutoCAD LT\\R%d" % r, LOADCTRLS_BOTH) for r in (13, 14)]
    + [("AutoCAD LT\\R%d" % r, INFOCENTER) for r in range(15, 20)]
)
ROOT = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Autodesk"
SETTINGS_PER_KEY_SET = sum(len(keys) for _, (keys, _, _) in RELEASES)


def settings_keys(keys):
    """(settings key path, value name, value when on) of every setting."""
    for release, (suffixes, value, on) in RELEASES:
        for i in range(keys):
            for suffix in suffixes:
                yield "%s\\%s\\ACAD-%04d:409\\%s" % (ROOT, release, i, suffix), value, on


def write_reg(path, keys, off):
    with open(path, "w", newline="\r\n") as out:
        out.write("Windows Registry Editor Version 5.00\n\n")
        for key, value, on in settings_keys(keys):
            out.write('[%s]\n"%s"=dword:%08x\n\n' % (key, value, 0 if off else on))


class Wine:
    def __init__(self, prefix):
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def run(self, *args, check=True):
        # Output into a file, not a pipe: the Wine services that the first
        # program starts inherit it and keep a pipe open for good.
        with tempfile.TemporaryFile() as output:
            done = subprocess.run(PIN + ["wine"] + list(args), env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=output, stderr=output)
            if check and done.returncode != 0:
                output.seek(0)
                sys.exit("wine %s failed (%d):\n%s" % (" ".join(args), done.returncode,
                                                       output.read().decode(errors="replace")))
        return done.returncode

    def timed(self, *args):
        start = time.perf_counter()
        self.run(*args)
        return time.perf_counter() - start

    def server(self, *args, **kwargs):
        return subprocess.Popen(PIN + ["wineserver"] + list(args), env=self.env, **kwargs)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)

    def export(self, work):
        path = os.path.join(work, "export.reg")
        if self.run("reg", "export", ROOT, path, "/y", "/reg:64", check=False) != 0:
            return ""
        with open(path, "rb") as data:
            return data.read().decode("utf-16")


def check(wine, work, keys, state):
    """Judges a step by what the registry holds: every setting off (with a
    saved value for Skerrow) or every setting on with no saved value."""
    text = wine.export(work)
    settings = keys * SETTINGS_PER_KEY_SET
    zeros = len(re.findall(r'"(?:LOADCTRLS|InfoCenterOn)"=dword:00000000', text))
    backups = text.count("\\SKRW_Backup]")
    expected = {"installed": (settings, settings), "off": (settings, 0), "on": (0, 0)}[state]
    if (zeros, backups) != expected:
        sys.exit("%d product keys per release, expected %s: %d values are 0 and %d saved"
                 % (keys, state, zeros, backups))


STEPS = ("install", "script-off", "uninstall", "script-on")


def measure(wine, args, work, keys, rounds):
    on = os.path.join(work, "on-%d.reg" % keys)
    off = os.path.join(work, "off-%d.reg" % keys)
    write_reg(on, keys, off=False)
    write_reg(off, keys, off=True)
    if keys:
        wine.run("reg", "import", on, "/reg:64")
    times = collections.defaultdict(list)
    for n in range(rounds):
        first = n == 0 and keys > 0
        times["install"].append(wine.timed(args.runner, "install", "--data", ">1", "--dll", args.dll))
        if first:
            check(wine, work, keys, "installed")
        times["uninstall"].append(wine.timed(args.runner, "uninstall", "--data", ">1", "--dll", args.dll))
        if first:
            check(wine, work, keys, "on")
        times["script-off"].append(wine.timed("reg", "import", off, "/reg:64"))
        if first:
            check(wine, work, keys, "off")
        times["script-on"].append(wine.timed("reg", "import", on, "/reg:64"))
        if first:
            check(wine, work, keys, "on")
    wine.run("reg", "delete", ROOT, "/f", "/reg:64", check=False)
    return times


REQUEST = re.compile(r"^[0-9a-f]{4}: ([a-z_0-9]+)\(")
REPLY = re.compile(r"\) = ")


def requests_in(trace, start, end):
    with open(trace, "rb") as data:
        data.seek(start)
        chunk = data.read(end - start).decode(errors="replace")
    counts = collections.Counter()
    for line in chunk.splitlines():
        match = REQUEST.match(line)
        if match and not REPLY.search(line):
            counts[match.group(1)] += 1
    return counts


def trace_requests(wine, args, work):
    """Server requests of each step at 0 and at --trace-keys product keys."""
    wine.stop()
    trace = os.path.join(work, "trace")
    log = open(trace, "wb")
    server = wine.server("-p", "-f", "-d1", stderr=log, stdout=subprocess.DEVNULL)
    wine.run("reg", "query", "HKLM\\SOFTWARE", "/reg:64", check=False)  # starts the services
    time.sleep(2)
    counts = {}
    for keys in (0, args.trace_keys):
        on = os.path.join(work, "on-%d.reg" % keys)
        off = os.path.join(work, "off-%d.reg" % keys)
        write_reg(on, keys, off=False)
        write_reg(off, keys, off=True)
        if keys:
            wine.run("reg", "import", on, "/reg:64")
        commands = {
            "install": (args.runner, "install", "--data", ">1", "--dll", args.dll),
            "uninstall": (args.runner, "uninstall", "--data", ">1", "--dll", args.dll),
            "script-off": ("reg", "import", off, "/reg:64"),
            "script-on": ("reg", "import", on, "/reg:64"),
        }
        for step in STEPS:
            time.sleep(0.5)
            log.flush()
            start = os.path.getsize(trace)
            wine.run(*commands[step])
            time.sleep(0.5)
            counts[(keys, step)] = requests_in(trace, start, os.path.getsize(trace))
        wine.run("reg", "delete", ROOT, "/f", "/reg:64", check=False)
    # Through wineserver -k, which ends the server's processes with it; a
    # server ended by a signal leaves them running without it.
    wine.stop()
    server.wait()
    log.close()
    settings = args.trace_keys * SETTINGS_PER_KEY_SET
    result = {}
    for step in STEPS:
        diff = counts[(args.trace_keys, step)]
        diff.subtract(counts[(0, step)])
        result[step] = (sum(diff.values()) / settings,
                        {name: count / settings for name, count in diff.items() if count > 0})
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--keys", default="0,10,100,1000")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--trace-keys", type=int, default=100)
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    # skerrow-run resolves the DLL against its own working directory.
    args.dll = os.path.abspath(args.dll)
    wine = Wine(args.prefix)
    with tempfile.TemporaryDirectory() as work, open(args.out, "w") as out:
        wine.stop()
        wine.server("-p", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).wait()
        wine.run("reg", "delete", ROOT, "/f", "/reg:64", check=False)
        for keys in [int(k) for k in args.keys.split(",")]:
            rounds = args.rounds if keys < 1000 else max(3, args.rounds - 2)
            print("  Wine: %d product keys per release, %d rounds" % (keys, rounds), flush=True)
            for step, values in measure(wine, args, work, keys, rounds).items():
                out.write("time\t%d\t%s\t%s\n" % (keys, step, "\t".join("%.4f" % v for v in values)))
            out.flush()
        if args.trace_keys:
            print("  Wine: server requests (wineserver -d1)", flush=True)
            for step, (per_setting, by_name) in trace_requests(wine, args, work).items():
                names = " ".join("%s=%.2f" % item for item in
                                 sorted(by_name.items(), key=lambda item: -item[1]))
                out.write("requests\t%s\t%.2f\t%s\n" % (step, per_setting, names))
        wine.stop()


if __name__ == "__main__":
    main()
