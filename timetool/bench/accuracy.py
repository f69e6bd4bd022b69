#!/usr/bin/env python3
"""Benchmark: accuracy of Kelvane's network time against a loopback chronyd
that serves this machine's clock, side by side with a trusted SNTP client
(chronyd -Q, which only measures and never sets the clock).

usage: accuracy.py <build folder, e.g. build/win64> [count]

Starts the loopback peers (as the tests do), runs kelvane_accuracy.exe under
Wine through the build's wine-run, then `chronyd -Q` the same number of
times, prints both figures per run and their summaries, and stops the peers.
The tool's figure "err_clock" and chronyd's offset measure the same thing:
how far the network time each computed lies from the true time (the server's
clock is the local clock). "err_tx+d" is the tool's network time minus the
server's transmit time plus half the round trip measured precisely.
"""
import os
import re
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PEERS = os.path.join(HERE, "..", "tests", "ntp_peers.py")


def main():
    build = os.path.abspath(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    folder = tempfile.mkdtemp(prefix="kelvane-bench-")
    subprocess.run([sys.executable, PEERS, "start", folder], check=True,
                   stdout=subprocess.DEVNULL)
    try:
        server = dict(line.strip().split("=", 1)
                      for line in open(os.path.join(folder, "peers.txt")))["chrony"]
        tool = subprocess.run([os.path.join(build, "wine-run"),
                               os.path.join(build, "bin", "kelvane_accuracy.exe"), server,
                               str(count)], capture_output=True, text=True, timeout=600)
        rows = []
        for line in tool.stdout.splitlines():
            parts = line.split()
            if len(parts) == 5 and parts[0].isdigit():
                rows.append((float(parts[3]), float(parts[4])))
        summary = [l for l in tool.stdout.splitlines() if l.startswith("tool:")]

        chrony = []
        for _ in range(count):
            out = subprocess.run(["chronyd", "-Q", "-u", "root", "-f", "/dev/null",
                                  f"server {server} iburst maxsamples 1"],
                                 capture_output=True, text=True, timeout=60)
            m = re.search(r"System clock wrong by (-?[0-9.]+) seconds", out.stdout + out.stderr)
            chrony.append(float(m.group(1)) * 1000.0 if m else float("nan"))
    finally:
        subprocess.run([sys.executable, PEERS, "stop", folder], check=False)

    print(f"server {server} (chronyd serving this machine's clock), {count} queries each")
    print(f"{'run':>4} {'tool err_tx+d ms':>17} {'tool err_clock ms':>18} {'chronyd -Q offset ms':>21}")
    for i in range(count):
        tx, clock = rows[i] if i < len(rows) else (float("nan"), float("nan"))
        print(f"{i + 1:>4} {tx:>17.3f} {clock:>18.3f} {chrony[i]:>21.3f}")

    def describe(values):
        values = [v for v in values if v == v]
        if not values:
            return "no figures"
        return (f"mean {statistics.mean(values):8.3f}  mean |.| "
                f"{statistics.mean(abs(v) for v in values):8.3f}  max |.| "
                f"{max(abs(v) for v in values):8.3f}")
    print(f"tool against transmit + one-way delay: {describe([r[0] for r in rows])}")
    print(f"tool against the true time:            {describe([r[1] for r in rows])}")
    print(f"chronyd -Q against the true time:      {describe(chrony)}")
    for line in summary:
        print(line)
    if tool.returncode != 0:
        print(tool.stderr, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
