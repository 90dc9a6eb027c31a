#!/usr/bin/env python3
"""The Markdown table of a run.sh run: one column per index size.

    python3 report.py RESULTS_DIR SIZE...

Each round ran ostrel and each floor once (round 0, the warm-up, is left
out). Wall times are hyperfine's; user and system time, peak memory and page
faults are rusage_run's. Every figure is the median over the rounds; a ratio
is the median of the ratios within each round, so that load from elsewhere,
which comes and goes, weighs on both sides of it. MB is 10^6 bytes, MiB 2^20.
"""
import json
import os
import statistics
import sys

COMMANDS = (("ostrel", "ostrel"), ("read_floor", "read"), ("read_floor_huge", "read_huge"),
            ("write_floor", "write"), ("peer", "peer"))


def load_rounds(results_dir, n):
    """Per command, one dict per counted run: wall, user, system, rss (KiB), faults."""
    walls = {}
    number = 1
    while os.path.exists(os.path.join(results_dir, "%s-round%d.json" % (n, number))):
        with open(os.path.join(results_dir, "%s-round%d.json" % (n, number))) as f:
            for result in json.load(f)["results"]:
                walls.setdefault(result["command"], []).extend(result["times"])
        number += 1
    peer_json = os.path.join(results_dir, "%s-peer.json" % n)
    if os.path.exists(peer_json):
        with open(peer_json) as f:
            walls["peer"] = json.load(f)["results"][0]["times"]
    runs = {}
    for command, log in COMMANDS:
        path = os.path.join(results_dir, "%s-%s.log" % (n, log))
        if command not in walls or not os.path.exists(path):
            continue
        with open(path) as f:
            lines = [line.split() for line in f if line.strip()]
        lines = lines[len(lines) - len(walls[command]):]  # without the warm-up
        runs[command] = [{"wall": wall, "user": float(l[1]), "system": float(l[2]),
                          "rss": float(l[3]), "faults": float(l[4])}
                         for wall, l in zip(walls[command], lines)]
    return runs


def median_of(runs, key):
    return statistics.median(run[key] for run in runs)


def cpu(run):
    return run["user"] + run["system"]


def main():
    results_dir = sys.argv[1]
    columns = []
    for n in sys.argv[2:]:
        with open(os.path.join(results_dir, "%s.info" % n)) as f:
            input_bytes, rows, requests = (int(v) for v in f.read().split())
        instructions = None
        path = os.path.join(results_dir, "%s.instructions" % n)
        if os.path.exists(path):
            with open(path) as f:
                instructions = [int(v) for v in f.read().split()]
        columns.append({"n": n, "bytes": input_bytes, "rows": rows, "requests": requests,
                        "runs": load_rounds(results_dir, n), "instructions": instructions})

    lines = ["| files | " + " | ".join(c["n"] for c in columns) + " |",
             "|---|" + "---:|" * len(columns)]

    def row(label, value_of):
        values = []
        for c in columns:
            try:
                values.append(value_of(c))
            except (KeyError, TypeError, ZeroDivisionError, statistics.StatisticsError):
                values.append("–")
        lines.append("| %s | %s |" % (label, " | ".join(values)))

    def per_round(c, ratio):
        """Median over rounds of ratio(ostrel, read floor, huge read floor, write floor)."""
        r = c["runs"]
        values = []
        for runs in zip(r["ostrel"], r["read_floor"], r["read_floor_huge"], r["write_floor"]):
            try:
                values.append(ratio(*runs))
            except ZeroDivisionError:
                pass  # a user time under the kernel's accounting tick reads 0
        return statistics.median(values)

    def measure(command, key, pattern, scale=1.0):
        return lambda c: pattern % (median_of(c["runs"][command], key) * scale)

    row("input size (MB)", lambda c: "%.1f" % (c["bytes"] / 1e6))
    row("rows", lambda c: str(c["rows"]))
    row("write requests", lambda c: str(c["requests"]))
    row("ostrel wall (s)", measure("ostrel", "wall", "%.3f"))
    row("ostrel wall min–max (s)", lambda c: "%.3f–%.3f" % (
        min(r["wall"] for r in c["runs"]["ostrel"]), max(r["wall"] for r in c["runs"]["ostrel"])))
    # Time runnable or blocked but not running: load from elsewhere.
    row("ostrel wall − CPU, off the processor (s)", lambda c: "%.3f" % statistics.median(
        r["wall"] - cpu(r) for r in c["runs"]["ostrel"]))
    row("ostrel user (s)", measure("ostrel", "user", "%.3f"))
    row("ostrel system (s)", measure("ostrel", "system", "%.3f"))
    row("ostrel peak memory (MiB)", measure("ostrel", "rss", "%.1f", 1 / 1024))
    row("peak memory − input (MiB)", lambda c: "%.1f" % (
        (median_of(c["runs"]["ostrel"], "rss") * 1024 - c["bytes"]) / 2**20))
    row("ostrel minor page faults", measure("ostrel", "faults", "%.0f"))
    row("ostrel MB/s", lambda c: "%.1f" % (c["bytes"] / 1e6 / median_of(c["runs"]["ostrel"], "wall")))
    row("ostrel MB per CPU second", lambda c: "%.1f" % (
        c["bytes"] / 1e6 / statistics.median(cpu(r) for r in c["runs"]["ostrel"])))
    row("ostrel rows/s", lambda c: "%.0f" % (c["rows"] / median_of(c["runs"]["ostrel"], "wall")))
    for command, label in (("read_floor", "read floor (malloc)"),
                           ("read_floor_huge", "read floor (huge pages)"),
                           ("write_floor", "write floor")):
        row(label + " wall (s)", measure(command, "wall", "%.3f"))
        row(label + " user / system (s)", lambda c, command=command: "%.3f / %.3f" % (
            median_of(c["runs"][command], "user"), median_of(c["runs"][command], "system")))
    row("**ostrel wall ÷ (read floor huge + write floor)**", lambda c: "%.2f×" % per_round(
        c, lambda o, r, h, w: o["wall"] / (h["wall"] + w["wall"])))
    row("ostrel wall ÷ (read floor malloc + write floor)", lambda c: "%.2f×" % per_round(
        c, lambda o, r, h, w: o["wall"] / (r["wall"] + w["wall"])))
    row("ostrel CPU ÷ (read floor huge + write floor) CPU", lambda c: "%.2f×" % per_round(
        c, lambda o, r, h, w: cpu(o) / (cpu(h) + cpu(w))))
    row("**ostrel user ÷ read floor huge user**", lambda c: "%.1f×" % per_round(
        c, lambda o, r, h, w: o["user"] / h["user"]))
    row("ostrel user ÷ read floor malloc user", lambda c: "%.1f×" % per_round(
        c, lambda o, r, h, w: o["user"] / r["user"]))
    # Each write request costs user time here too (the write floor's user time
    # is nearly all request overhead): taking it out leaves the scan's share.
    row("(ostrel user − write floor user) ÷ read floor huge user", lambda c: "%.1f×" % per_round(
        c, lambda o, r, h, w: (o["user"] - w["user"]) / h["user"]))
    row("user-space instructions (M): ostrel / read floor huge / write floor",
        lambda c: "%.1f / %.1f / %.1f" % tuple(v / 1e6 for v in c["instructions"]))
    row("(ostrel − write floor) ÷ read floor huge, instructions", lambda c: "%.1f×" % (
        (c["instructions"][0] - c["instructions"][2]) / c["instructions"][1]))
    row("Python peer wall (s)", measure("peer", "wall", "%.2f"))
    row("Python peer peak memory (MiB)", measure("peer", "rss", "%.1f", 1 / 1024))
    row("Python peer wall ÷ ostrel wall", lambda c: "%.1f×" % (
        median_of(c["runs"]["peer"], "wall") / median_of(c["runs"]["ostrel"], "wall")))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
