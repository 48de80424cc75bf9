#!/usr/bin/env python3
"""Turns the Google Benchmark JSON files of scripts/bench.sh into docs/performance.md.

Every figure is the CPU time of one repetition; a row gives the median over the repetitions and
their min..max. A ratio is the operation's median over its baseline's median, measured in the
same process with the repetitions of both interleaved at random; the verdict comes from it.
"""
import glob
import json
import os
import statistics
import sys

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def load(folder):
    runs = {}      # name -> [cpu ms of each repetition]
    walls = {}     # name -> [wall ms of each repetition] (manual times included)
    counters = {}  # name -> {counter: value}
    context = None
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        context = context or data.get("context", {})
        for b in data["benchmarks"]:
            if b.get("run_type") != "iteration" or b.get("error_occurred"):
                continue
            name = b["run_name"]
            # Benchmarks with fixed iterations carry them in the run name.
            name = name.split("/iterations:")[0]
            # Benchmarks with a fixed minimum time and repetitions (the finder's) likewise.
            name = name.split("/min_time:")[0]
            runs.setdefault(name, []).append(b["cpu_time"] * TO_MS[b.get("time_unit", "ns")])
            walls.setdefault(name, []).append(b["real_time"] * TO_MS[b.get("time_unit", "ns")])
            extra = {k: v for k, v in b.items()
                     if k in ("ratio", "rss_MB", "reference_MB", "rows", "shown", "peak_MB", "peak_ratio")}
            if extra:
                counters[name] = extra
    return runs, walls, counters, context or {}


def summary(times):
    return statistics.median(times), min(times), max(times)


def ms(v):
    if v >= 100:
        return f"{v:.0f}"
    if v >= 1:
        return f"{v:.1f}"
    return f"{v:.3f}"


def span(times):
    _, lo, hi = summary(times)
    return f"{ms(lo)}..{ms(hi)}"


class Report:
    def __init__(self, runs, walls, counters):
        self.runs = runs
        self.walls = walls
        self.counters = counters
        self.rows = []

    def ratio(self, name):
        ours = self.runs.get(name)
        base = self.runs.get(name.split("/")[0] + "_baseline/" + "/".join(name.split("/")[1:]))
        if not ours or not base:
            return None
        return ours, base, summary(ours)[0] / summary(base)[0]

    def compare(self, what, name, goal, limit, data):
        r = self.ratio(name)
        if r is None:
            self.rows.append(f"| {what} | {data} | {goal} | not run | | | |")
            return
        ours, base, ratio = r
        verdict = "met" if ratio <= limit else "**missed**"
        if "rows" in self.counters.get(name, {}):
            data += f", rows selected: {self.counters[name]['rows']:.0f}"
        self.rows.append(
            f"| {what} | {data} | {goal} | {ms(summary(ours)[0])} vs {ms(summary(base)[0])} | "
            f"**{ratio:.2f}×** | {span(ours)} vs {span(base)} | {verdict} |")

    def load_peak(self, name, data):
        """The peak resident memory of a load against the memory the loaded base keeps."""
        what = "load: peak memory on the way vs the memory the loaded base keeps (core)"
        c = self.counters.get(name)
        if c is None or "peak_MB" not in c:
            self.rows.append(f"| {what} | {data} | ≤ 1.5× | not run | | | |")
            return
        verdict = "met" if c["peak_ratio"] <= 1.5 else "**missed**"
        self.rows.append(f"| {what} | {data} | ≤ 1.5× | {c['peak_MB']:.0f} MB vs {c['rss_MB']:.0f} MB | "
                         f"**{c['peak_ratio']:.2f}×** | one measurement | {verdict} |")

    def compare_pair(self, what, name, base_name, goal, limit, data):
        """A goal whose baseline is another benchmark of the same process."""
        ours = self.runs.get(name)
        base = self.runs.get(base_name)
        if not ours or not base:
            self.rows.append(f"| {what} | {data} | {goal} | not run | | | |")
            return
        ratio = summary(ours)[0] / summary(base)[0]
        verdict = "met" if ratio <= limit else "**missed**"
        self.rows.append(
            f"| {what} | {data} | {goal} | {ms(summary(ours)[0])} vs {ms(summary(base)[0])} | "
            f"**{ratio:.2f}×** | {span(ours)} vs {span(base)} | {verdict} |")

    def stall(self, what, name, base_name, goal, limit_ms, data):
        """Wall times: the longest stall of the window against a whole save; the goal is a time."""
        ours = self.walls.get(name)
        base = self.walls.get(base_name)
        if not ours or not base:
            self.rows.append(f"| {what} | {data} | {goal} | not run | | | |")
            return
        ratio = summary(ours)[0] / summary(base)[0]
        verdict = "met" if summary(ours)[0] <= limit_ms else "**missed**"
        self.rows.append(
            f"| {what} | {data} | {goal} | {ms(summary(ours)[0])} vs {ms(summary(base)[0])} | "
            f"**{ratio:.2f}×** | {span(ours)} vs {span(base)} | {verdict} |")

    def pair_figure(self, what, name, base_name, times, data):
        """Two figures of the same process side by side, no goal."""
        ours = times.get(name)
        base = times.get(base_name)
        if not ours or not base:
            self.rows.append(f"| {what} | {data} | no goal set | not run | | | |")
            return
        ratio = summary(ours)[0] / summary(base)[0]
        self.rows.append(
            f"| {what} | {data} | no goal set | {ms(summary(ours)[0])} vs {ms(summary(base)[0])} | "
            f"**{ratio:.2f}×** | {span(ours)} vs {span(base)} | — |")

    def memory(self, what, name, goal, limit, data):
        c = self.counters.get(name)
        if not c:
            self.rows.append(f"| {what} | {data} | {goal} | not run | | | |")
            return
        verdict = "met" if c["ratio"] <= limit else "**missed**"
        self.rows.append(
            f"| {what} | {data} | {goal} | {c['rss_MB']:.0f} MB vs {c['reference_MB']:.0f} MB | "
            f"**{c['ratio']:.2f}×** | one measurement | {verdict} |")

    def figure(self, what, name, goal, data):
        t = self.runs.get(name)
        if not t:
            self.rows.append(f"| {what} | {data} | {goal} | not run | | | |")
            return
        self.rows.append(f"| {what} | {data} | {goal} | {ms(summary(t)[0])} | | {span(t)} | — |")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bench-results"
    runs, walls, counters, context = load(folder)
    r = Report(runs, walls, counters)
    for data in ("datasheet", "random"):
        d = f"{data}, 100k"
        r.compare("load vs baseline load", f"load/{data}/100000", "≤ 1.2×", 1.2, d)
        r.compare("`qdb convert` vs baseline load + baseline save", f"convert/{data}/100000", "≤ 1.3×", 1.3, d)
        r.compare("save of a sorted base (every record moved) vs write + fdatasync + rename of the same bytes",
                  f"save/{data}/100000", "≤ 1.5×", 1.5, d)
        r.compare_pair("save of the base as read vs write + fdatasync + rename of the same bytes",
                       f"save_as_loaded/{data}/100000", f"save_baseline/{data}/100000", "≤ 1.5×", 1.5, d)
        r.compare_pair("save of a sorted base with 1 % of its records edited vs write + fdatasync + rename",
                       f"save_edited/{data}/100000", f"save_baseline/{data}/100000", "≤ 1.5×", 1.5, d)
        r.compare("recovery file (written 3 s after the changes stop) vs Save of the same base", f"recovery/{data}/100000", "≤ 3×", 3.0, d)
        r.compare("sort by a numeric column vs `std::sort` of its doubles", f"sort/{data}/100000", "≤ 1.5×", 1.5, d)
        r.compare("30-bound selection vs sqlite3 (same rows)", f"select/{data}/100000", "≤ 0.4×", 0.4, d)
        r.compare("CSV import (file read, every cell read into a new base) vs reading the file and splitting "
                  "it into fields", f"import/{data}/100000", "≤ 2×", 2.0, d)
        r.compare("reading typed values (the cells of the base as shown, each in its column's unit) vs numeric "
                  "filter + number parser of the same texts", f"typed_cells/{data}/100000", "≤ 2×", 2.0, d)
        r.compare("reading typed values (engineers' forms: 1.5, 4к7, 1,5 А, 200 мкА, <0,05, …) vs numeric "
                  "filter + number parser of the same texts", f"typed_forms/{data}/100000", "≤ 2×", 2.0, d)
    for data in ("datasheet", "random"):
        r.compare("load vs baseline load", f"load/{data}/1000000", "≤ 1.3×", 1.3, f"{data}, 1M")
        r.load_peak(f"memory/{data}/1000000", f"{data}, 1M")
        r.compare("save of a sorted base (every record moved) vs write + fdatasync + rename of the same bytes",
                  f"save/{data}/1000000", "≤ 1.5×", 1.5, f"{data}, 1M")
        r.compare_pair("save of the base as read vs write + fdatasync + rename of the same bytes",
                       f"save_as_loaded/{data}/1000000", f"save_baseline/{data}/1000000", "≤ 1.5×", 1.5,
                       f"{data}, 1M")
    for data in ("datasheet", "random"):
        r.compare("click to repaint (sort) vs `std::sort` of the column", f"sort_click/{data}/100000", "≤ 2×", 2.0,
                  f"{data}, 100k")
    for data, n, label in (("datasheet", 100000, "100k"), ("random", 100000, "100k"), ("datasheet", 1000000, "1M")):
        r.memory("window memory above an empty window, second table with 30 columns, vs file + texts",
                 f"window_memory/{data}/{n}", "≤ 2×", 2.0, f"{data}, {label}")
    for what, step in (("a sort (a right press on a title)", "sort"), ("a delete (F8)", "delete")):
        for verb, part in (("undo («Отменить»)", "undo"), ("redo («Повторить»)", "redo")):
            r.compare_pair(f"{verb} of {what} vs the command itself", f"history_{step}_{part}/datasheet/100000",
                           f"history_{step}/datasheet/100000", "≤ 1.5×", 1.5, "datasheet, 100k")
    save = "save_window/datasheet/5000000"
    r.stall("«Сохранить» of a large base: the longest stall of the window's event loop (wall) vs the save "
            "itself, encode + write of the same bytes on one thread (wall)", "save_blocked/datasheet/5000000",
            "save_window_baseline/datasheet/5000000", "≤ 500 ms", 500.0, "datasheet, 5M")
    r.pair_figure("«Сохранить» of a large base in the window: a round of F8 on one record, then the command "
                  "until its end is reported (wall), vs encode + write of the same bytes (wall)", save, "save_window_baseline/datasheet/5000000",
                  walls, "datasheet, 5M")
    r.pair_figure("the same round: CPU of the whole process (worker included) vs encode + write",
                  save, "save_window_baseline/datasheet/5000000", runs, "datasheet, 5M")
    r.compare("navigator catalogue sort vs `std::sort` of the names", "nav_sort/names/100000", "≤ 1.5×", 1.5,
              "100k names")
    r.rows.append("| 1 GB base under a memory limit | — | clear Russian message, base unchanged | "
                  "not a timing: covered by tests of the store | | | |")
    r.compare("first screen after `veltris BASE` vs read + decode of the records", "first_screen/datasheet/100000",
              "≤ 3× (moonshot)", 3.0, "datasheet, 100k")
    r.figure("name keystroke in the search page, list painted", "name_keystroke/datasheet/100000",
             "no goal set", "datasheet, 100k")
    r.figure("\"Применить\" with 30 rows, second table painted", "apply_30_rows/datasheet/100000",
             "no goal set", "datasheet, 100k")
    r.compare("folder scan vs reading the same files whole", "scan/1000x100", "≤ 1.3×", 1.3,
              "1,000 bases × 100")
    finder_data = "finder data, 100k, 15 rules, 2 near misses"
    r.compare_pair("substitute finder, open base, ranked, the window's top 200 with texts, vs the 30-bound selection",
                   "BM_FinderOpenBase", "BM_Selection30", "≤ 2×", 2.0, finder_data)
    r.compare_pair("substitute finder, open base, full result: every candidate ranked with texts, vs the selection",
                   "BM_FinderOpenBaseAll", "BM_Selection30", "≤ 3×", 3.0, finder_data)
    r.compare_pair("substitute finder, library scope, vs `cat` of the files + the open-base finder",
                   "BM_FinderLibrary", "BM_LibraryBaseline", "≤ 1.5×", 1.5,
                   "200 bases × 500, warm cache")
    r.compare_pair("parts list of 500 lines, each line's part found in its text and its best 3 replacements from "
                   "the whole library, vs `cat` of the files + the open-base finder over the same records for "
                   "every line", "BM_PartsList", "BM_PartsListBaseline", "≤ 1.5×", 1.5,
                   "200 bases × 500, warm cache")
    r.compare_pair("selection across the library (30 bounds, every base of the type read from its bytes) vs "
                   "`cat` of the files + the selection over the same records", "BM_LibrarySelection",
                   "BM_SelectionBaseline", "≤ 1.5×", 1.5, "200 bases × 500, warm cache")
    r.figure("finder breakdown: open base, every candidate ranked, texts asked for the first 200 afterwards",
             "BM_FinderOpenBaseLazy", "no goal set", finder_data)
    r.figure("finder breakdown: judging and ranking a source already built (no texts)", "BM_FinderRankOnly",
             "no goal set", finder_data)
    r.figure("finder worst case: every record kept, ranked, texts copied", "BM_FinderAllKept",
             "no goal set", "finder data, 100k, 15 rules")
    r.figure("finder breakdown: the base reader alone over the 200 files", "BM_ReadBasesOnly",
             "no goal set", "200 bases × 500")

    def time_cell(name):
        x = r.ratio(name)
        return "—" if x is None else f"{x[2]:.2f}× ({ms(summary(x[0])[0])} vs {ms(summary(x[1])[0])} ms)"

    def memory_cell(name):
        c = counters.get(name)
        return "—" if c is None else f"{c['ratio']:.2f}× ({c['rss_MB']:.0f} vs {c['reference_MB']:.0f} MB)"

    def save_cell(name):
        ours = runs.get(name)
        base = runs.get("save_baseline/" + "/".join(name.split("/")[1:]))
        if not ours or not base:
            return "—"
        a, b = summary(ours)[0], summary(base)[0]
        return f"{a / b:.2f}× ({ms(a)} vs {ms(b)} ms)"

    scaling = []
    for op, label, cell in (("load", "load", time_cell), ("save", "save, sorted base", time_cell),
                            ("save_as_loaded", "save, base as read", save_cell),
                            ("save_edited", "save, sorted, 1 % edited", save_cell),
                            ("convert", "convert", time_cell), ("sort", "numeric sort", time_cell),
                            ("select", "30-bound selection vs sqlite3", time_cell),
                            ("import", "CSV import vs read + split into fields", time_cell),
                            ("memory", "resident memory of a loaded base (core) vs file + texts", memory_cell)):
        for data in ("datasheet", "random"):
            cells = [cell(f"{op}/{data}/{n}") for n in (10000, 100000, 1000000)]
            scaling.append(f"| {label} | {data} | " + " | ".join(cells) + " |")

    cpu = context.get("mhz_per_cpu", "?")
    out = sys.stdout
    out.write("# Performance\n\n")
    out.write("Speed and memory of the core and the window against the least work each job needs. ")
    out.write("Regenerate this file with one command (it builds the benchmarks, runs them and rewrites it):\n\n")
    out.write("```sh\nbash scripts/bench.sh          # 10k and 100k records\nbash scripts/bench.sh --full   # adds 1M records\n```\n\n")
    out.write("How the figures are made: each operation and its baseline run in the same process, their 5 ")
    out.write("repetitions interleaved at random (Google Benchmark); a figure is the CPU time of one ")
    out.write("repetition in milliseconds, the table gives the median and min..max, and the ratio and the ")
    out.write("verdict come from the medians. Baselines: *load* reads the file, turns the names from ")
    out.write("Windows-1251 into UTF-8 and writes every stored double and drawing number with the shortest ")
    out.write("`std::to_chars`; *save* writes the bytes the save writes to a temporary file, fdatasync, ")
    out.write("rename; *convert* is both; *sort* is `std::sort` of the column's doubles; *select* is the same ")
    out.write("query in sqlite3 in the same process, prepared, giving the same rows; *navigator sort* is ")
    out.write("`std::sort` of the names; *CSV import* reads the file whole and splits it into fields at the ")
    out.write("separators and line ends, a field opened by a quote running to its closing quote. CPU time ")
    out.write("leaves out waiting for the disk, so a save's fdatasync ")
    out.write("counts only for the CPU it uses.\n\n")
    out.write("Data (`bench/bench_data.h`): bipolar bases with unique names such as КТ3102А in random order and ")
    out.write("the second table showing all 30 columns; *datasheet*: values of 1–3 significant digits, 15 % ")
    out.write("empty, 10 % decorated (<, >, (), [], {}), gain ranges in the range column; *random*: the same ")
    out.write("shape with every value a random double at full precision.\n\n")
    out.write(f"Machine: {context.get('num_cpus', '?')} cores at {cpu} MHz, shared with other work while ")
    out.write(f"measuring (load average {', '.join(f'{x:.1f}' for x in context.get('load_avg', []))}); ")
    out.write(f"run of {context.get('date', '?')}. The figures come from this machine only.\n\n")
    out.write("## Goals\n\n")
    out.write("| operation | data | goal | median CPU, ms (ours vs baseline) | ratio | min..max, ms | verdict |\n")
    out.write("|---|---|---|---|---|---|---|\n")
    out.write("\n".join(r.rows) + "\n\n")
    out.write("## Scaling (ratio to the baseline; medians in ms)\n\n")
    out.write("| operation | data | 10k | 100k | 1M |\n|---|---|---|---|---|\n")
    out.write("\n".join(scaling) + "\n")
    notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "performance-notes.md")
    if os.path.exists(notes):
        with open(notes, encoding="utf-8") as f:
            out.write("\n" + f.read())


if __name__ == "__main__":
    main()
