#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each of them for the given
# number of seconds (default 60), all at once at low priority, starting from fuzz/corpus/<target>.
# New inputs go to build-fuzz/corpus/<target>; a failing input to build-fuzz/<target>-crash-*.
#   bash scripts/fuzz.sh 1800            every target for 30 minutes
#   bash scripts/fuzz.sh 600 ini_fuzz    one target
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(ini_fuzz valuetext_fuzz selection_fuzz basefile_fuzz csvimport_fuzz finderreader_fuzz recovery_fuzz saveimage_fuzz)
bash scripts/deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
pids=()
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  nice -n 19 "build-fuzz/bin/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="build-fuzz/$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" \
    >"build-fuzz/$t.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
  if wait "${pids[$i]}"; then result="без находок"; else result="НАХОДКА"; status=1; fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/${targets[$i]}.log" | grep -o '[0-9]*$' || true)
  echo "${targets[$i]}: ${runs:-?} запусков, $result (build-fuzz/${targets[$i]}.log)"
done
exit $status
