#!/usr/bin/env bash
# The fuzz targets of tests/fuzz, built with clang and libFuzzer in their own
# build tree (build-fuzz) and run in parallel over the cores.
#
#   scripts/fuzz.sh smoke   each target FUZZ_SECONDS (60) from its seeds and
#                           regression inputs (CI)
#   scripts/fuzz.sh long    each target until 10^6 executions (FUZZ_RUNS) or
#                           10 minutes (FUZZ_SECONDS=600), printing a table
#
# FUZZ_JOBS (default: the number of cores) limits the targets run at once
# (and the build's jobs); FUZZ_BUILD names another build tree;
# FUZZ_TARGETS (blank-separated) picks targets. A finding fails the run: its
# input stays in build-fuzz/artefacts/<target>/ with a file REPRODUCE that
# holds the command to run it again.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
case "$mode" in
  smoke) seconds=${FUZZ_SECONDS:-60}; runs=${FUZZ_RUNS:--1} ;;
  long)  seconds=${FUZZ_SECONDS:-600}; runs=${FUZZ_RUNS:-1000000} ;;
  *) echo "usage: $0 smoke|long" >&2; exit 2 ;;
esac
jobs=${FUZZ_JOBS:-$(nproc)}
root=$PWD
build=${FUZZ_BUILD:-$root/build-fuzz}

# -O1 with line tables and assertions on: quick to build, fast enough to run.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
      -DCMAKE_CXX_COMPILER=clang++ -DQUILL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_all
rm -rf "$build/fuzz-seeds" "$build/fuzz-runs"
"$build/tests/fuzz/fuzz_seeds" "$build/fuzz-seeds" >/dev/null

targets=${FUZZ_TARGETS:-$(sed -n '/^set(QUILL_FUZZ_TARGETS$/,/)/p' tests/fuzz/CMakeLists.txt | tr -d '()' |
                          sed 's/set\|QUILL_FUZZ_TARGETS//g')}

run_target() {
  local t=$1 work="$build/fuzz-runs/$1" art="$build/artefacts/$1"
  mkdir -p "$work/corpus" "$art"
  local inputs=("$work/corpus" "$build/fuzz-seeds/$t")
  [[ -d tests/fuzz/regress/$t ]] && inputs+=("$root/tests/fuzz/regress/$t")
  # The limits go into REPRODUCE too, so a finding is run again under them.
  local limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512)
  local cmd=("$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -runs="$runs" "${limits[@]}"
             -detect_leaks=1 -print_final_stats=1
             -dict="$root/tests/fuzz/dict/$t.dict" -artifact_prefix="$art/")
  local rc=0
  (cd "$work" && "${cmd[@]}" "${inputs[@]}") >"$work/log" 2>&1 || rc=$?
  echo "$rc" >"$work/rc"
  if ((rc != 0)); then
    cp "$work/log" "$art/log"
    for f in "$art"/crash-* "$art"/leak-* "$art"/timeout-* "$art"/oom-* "$art"/slow-unit-*; do
      [[ -e $f ]] && echo "$build/tests/fuzz/fuzz_$t ${limits[*]} $f" >>"$art/REPRODUCE"
    done
    echo "fuzz_$t: FINDING (exit $rc), see $art"
  else
    echo "fuzz_$t: ok"
  fi
}
export -f run_target
export build root seconds runs
rm -rf "$build/artefacts"
start=$(date +%s)
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_target {}'
echo "fuzzing took $(( $(date +%s) - start )) s"

# The table: executions, rate, coverage, corpus, peak memory, outcome.
failed=0
printf '%-18s %10s %8s %7s %7s %10s %8s  %s\n' target executions exec/s cov ft corpus rss_mb outcome
for t in $targets; do
  log="$build/fuzz-runs/$t/log"
  rc=$(cat "$build/fuzz-runs/$t/rc")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$last")
  outcome=ok
  if ((rc != 0)); then
    failed=1
    outcome=$(grep -oE 'ERROR: (libFuzzer|AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer): [a-z-]+|runtime error|fuzz property failed' "$log" | head -1 || true)
    outcome=${outcome:-"exit $rc"}
  fi
  printf '%-18s %10s %8s %7s %7s %10s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" \
         "${corp:-?}" "${rss:-?}" "$outcome"
done
exit $failed
