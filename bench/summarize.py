#!/usr/bin/env python3
"""Prints the bench table: benchmark throughputs and scaling ratios from a
Google Benchmark JSON file, and the whole-process ratios from the output of
bench/compare.sh, each against its target.

    bench/summarize.py RESULTS_JSON COMPARE_OUTPUT
"""
import json
import sys

KIB = 1024
MIB = 1024 * KIB


def load_benchmarks(path):
    """Median per benchmark name (or the single run when not repeated)."""
    with open(path) as file:
        runs = json.load(file)["benchmarks"]
    results = {}
    for run in runs:
        name = run["run_name"]
        if run.get("aggregate_name") == "median" or (
                run["run_type"] == "iteration" and name not in results):
            results[name] = run
    return results


def seconds_per_byte(run):
    return 1.0 / run["bytes_per_second"]


def verdict(ok):
    return "met" if ok else "MISSED"


def size_label(size):
    if size >= MIB:
        return f"{size // MIB} MiB"
    if size >= KIB and size % KIB == 0:
        return f"{size // KIB} KiB"
    return f"{size} B"


def throughput_table(results, prefix, kinds, sizes, first, last, limit):
    print(f"{'':18}" + "".join(f"{size_label(s):>10}" for s in sizes) +
          f"  {size_label(last)}/{size_label(first)} time per byte")
    for kind in kinds:
        row = [results.get(f"{prefix}/{kind}/{size}") for size in sizes]
        cells = "".join(
            f"{r['bytes_per_second'] / 1e6:>10.0f}" if r else f"{'-':>10}" for r in row)
        small = results.get(f"{prefix}/{kind}/{first}")
        large = results.get(f"{prefix}/{kind}/{last}")
        ratio = ""
        if small and large:
            value = seconds_per_byte(large) / seconds_per_byte(small)
            ratio = f"  {value:5.2f}  ({verdict(value <= limit)}: <= {limit})"
        print(f"{kind:18}{cells}{ratio}")


def main():
    results = load_benchmarks(sys.argv[1])
    with open(sys.argv[2]) as file:
        compare = [line.split() for line in file]

    print("parse_settings_line, MB/s by line size (warm: pages reused, the parser's own cost;")
    print("fresh: every big block newly mapped, as in a run)")
    throughput_table(results, "BM_ParseSettingsLine",
                     [f"{kind}_{heap}" for heap in ["warm", "fresh"]
                      for kind in ["plain", "quoted", "many_pairs", "two_byte"]],
                     [KIB, 16 * KIB, 256 * KIB, MIB, 4 * MIB, 16 * MIB, 64 * MIB],
                     MIB, 64 * MIB, 1.2)
    print()
    print("split_module_line, MB/s by line size")
    throughput_table(results, "BM_SplitModuleLine", ["separated", "escaped"],
                     [1024, 2048, 4096, 8192, 16384, 32767], 1024, 32767, 1.2)
    print()
    print("64 MiB settings files in process, MB/s")
    print(f"{'':14}{'read_settings':>15}{'+ report':>12}")
    for name in ["long-value", "dict-lines", "distinct-keys"]:
        cells = ""
        for prefix in ["BM_ReadSettings", "BM_SettingsPhase"]:
            run = results.get(f"{prefix}/{name}/real_time")
            cells += f"{run['bytes_per_second'] / 1e6:>15.0f}" if run else f"{'-':>15}"
        print(f"{name:14}{cells}")
    run = results.get("BM_LoadModuleList/1000/real_time")
    if run:
        print()
        print(f"load_module_list, 1000 entries: {run['real_time']:.2f} ms "
              f"({1e3 / run['items_per_second'] * 1e3:.2f} us per entry)")

    print()
    print("Whole process (medians; bench/compare.sh)")
    rows = {(line[0], line[1]): line for line in compare if len(line) >= 5}
    demo_tool, demo_floor = rows.get(("demo", "modtest")), rows.get(("demo", "floor"))
    if demo_tool and demo_floor:
        ratio = float(demo_tool[2]) / float(demo_floor[2])
        least = float(demo_tool[3]) / float(demo_floor[3])
        memory = float(demo_tool[4]) / float(demo_floor[4])
        print(f"demo run: modtest {float(demo_tool[2]):.3f} ms, floor {float(demo_floor[2]):.3f} ms:"
              f" wall ratio {ratio:.2f} ({verdict(ratio <= 1.5)}: <= 1.5; least times {least:.2f}),"
              f" peak memory ratio {memory:.2f}")
    print(f"{'settings file':16}{'modtest MB/s':>13}{'wc -l MB/s':>12}{'share':>8}"
          f"{'peak/file':>11}")
    for name in ["long-value", "dict-lines", "distinct-keys", "long-value+thp", "dict-lines+thp"]:
        tool, wc = rows.get((name, "modtest")), rows.get((name, "wc-l"))
        if not (tool and wc):
            continue
        size = float(tool[5])
        share = float(wc[2]) / float(tool[2])
        peak = float(tool[4]) * KIB / size
        checked = name in ("long-value", "dict-lines")
        print(f"{name:16}{size / float(tool[2]) / 1e6 / 1e-3:>13.0f}"
              f"{size / float(wc[2]) / 1e6 / 1e-3:>12.0f}{share:>8.2f}{peak:>11.2f}" +
              (f"  ({verdict(share >= 0.25)}: share >= 0.25; {verdict(peak <= 3)}: peak <= 3)"
               if checked else ""))


if __name__ == "__main__":
    main()
