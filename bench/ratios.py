#!/usr/bin/env python3
"""Ratios of benchmarks to their peers, from one run's JSON output.

    bench/ratios.py FILE.json OURS PEER [OURS PEER ...]

FILE.json is what a benchmark program wrote with --benchmark_out=FILE.json
--benchmark_out_format=json (every repetition kept, so not with
--benchmark_report_aggregates_only). OURS and PEER are benchmark names; a "*"
in both stands for each argument found (BM_Frame_SoftwareDevice/* pairs with
BM_Frame_SdlRle/* at 15, 60 and 240). Repetitions are paired in the order they
were run; for each pair prints the median of each side and the median of the
ratios of paired repetitions with its range. Times are CPU times, which a busy
machine disturbs less than wall times (the two agree on a quiet one); with
--real, wall times (the manual times of bench_first_frame); with --field NAME,
the counter NAME (cpu_ms, peak_rss_MB, cpu_pct of bench_first_frame).
"""
import json
import re
import statistics
import sys


def main(argv):
    field = "cpu_time"
    if "--real" in argv:
        argv.remove("--real")
        field = "real_time"
    if "--field" in argv:
        at = argv.index("--field")
        field = argv[at + 1]
        del argv[at:at + 2]
    if len(argv) < 4 or len(argv) % 2:
        sys.exit(__doc__)
    with open(argv[1]) as f:
        data = json.load(f)
    runs = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration" or b.get("error_occurred") or field not in b:
            continue
        unit = b["time_unit"] if field.endswith("_time") else ""
        # Named without what the registration adds (/manual_time, /iterations:N).
        name = re.sub(r"/(manual_time|real_time|iterations:\d+)", "", b["run_name"])
        runs.setdefault(name, []).append((b.get("repetition_index", 0), b[field], unit))
    context = data.get("context", {})
    print("%s, %s; load %s" % (context.get("date", "?"), field,
                               " ".join("%.2f" % v for v in context.get("load_avg", []))))
    for ours, peer in zip(argv[2::2], argv[3::2]):
        pattern = re.compile("^" + re.escape(ours).replace(r"\*", "(.+)") + "$")
        for name in sorted(runs, key=lambda n: (len(n), n)):
            m = pattern.match(name)
            if not m:
                continue
            other = peer.replace("*", m.group(1)) if m.groups() else peer
            if other not in runs:
                continue
            a = [t for _, t, _ in sorted(runs[name])]
            b = [t for _, t, _ in sorted(runs[other])]
            ratios = [x / y for x, y in zip(a, b)]
            unit = runs[name][0][2]
            print("%-44s %9.4g %s  %-40s %9.4g %s  ratio %.2f (%.2f-%.2f)  n=%d" % (
                name, statistics.median(a), unit, other, statistics.median(b), unit,
                statistics.median(ratios), min(ratios), max(ratios), len(ratios)))


if __name__ == "__main__":
    main(sys.argv)
