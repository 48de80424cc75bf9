#!/usr/bin/env bash
# Builds the benchmarks, runs them and writes docs/performance.md from their results.
#   bash scripts/bench.sh          10k and 100k records (about 15 minutes on 2 busy cores)
#   bash scripts/bench.sh --full   adds 1M records and the window's save of 5M (about 40 more
#                                  minutes, 6 GB of memory)
# Results (Google Benchmark JSON, one file per run) stay in build/bench-results.
set -euo pipefail
cd "$(dirname "$0")/.."
full=0
[[ "${1:-}" == "--full" ]] && full=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target core_bench gui_window_bench gui_search_bench gui_nav_bench scan_bench \
  finder_bench import_bench gui_save_bench partslist_bench typed_bench

out=build/bench-results
rm -rf "$out"
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.warning=false'
sizes=(10000 100000)
(( full )) && sizes+=(1000000)

run() {  # run NAME PROGRAM ARGS...: one process, its JSON in $out/NAME.json
    local name=$1
    shift
    echo "== $name" >&2
    "$@" --benchmark_out="$out/$name.json" --benchmark_out_format=json >/dev/null
}

for n in "${sizes[@]}"; do
    for data in datasheet random; do
        run "core-$data-$n" build/bin/core_bench --data="$data" --records="$n"
        run "import-$data-$n" build/bin/import_bench --data="$data" --records="$n"
    done
done
for data in datasheet random; do
    run "typed-$data-100000" build/bin/typed_bench --data="$data" --records=100000
done
window_sizes=(100000)
(( full )) && window_sizes+=(1000000)
for n in "${window_sizes[@]}"; do
    run "window-datasheet-$n" build/bin/gui_window_bench --data=datasheet --records="$n"
done
(( full )) && run "save-datasheet-5000000" build/bin/gui_save_bench --data=datasheet --records=5000000
run "window-random-100000" build/bin/gui_window_bench --data=random --records=100000
run "search-datasheet-100000" build/bin/gui_search_bench --data=datasheet --records=100000
run "navigator-100000" build/bin/gui_nav_bench --records=100000
run "scan" build/bin/scan_bench
run "finder" build/bin/finder_bench
run "partslist" build/bin/partslist_bench

python3 scripts/bench_report.py "$out" > docs/performance.md
echo "docs/performance.md written" >&2
