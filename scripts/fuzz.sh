#!/usr/bin/env bash
# Runs the fuzzing campaign: builds every libFuzzer target with clang, runs
# each for the given number of seconds (default 60), as many at once as the
# machine has cores, and prints one row per target. Findings (crash-*, leak-*,
# timeout-*, oom-*) go to build/fuzz/findings/<target>/; the inputs a run adds
# stay in build/fuzz/corpus/<target>/, the checked-in corpus is only read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh clang libclang-rt-14-dev

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCALDAVOR_SANITIZE=ON -DCALDAVOR_FUZZ=ON -DCALDAVOR_BENCH=OFF >/dev/null
targets=$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build "$build" --parallel "$(nproc)" --target $targets

run_one() {
  local target=$1 seconds=$2 build=$3
  local findings=$build/findings/$target corpus=$build/corpus/$target
  rm -rf "$findings"
  mkdir -p "$findings" "$corpus"
  # The stored inputs seed the run; what it adds stays in the build folder.
  local stored=()
  [[ -d tests/fuzz/corpus/$target ]] && stored=(tests/fuzz/corpus/"$target")
  "$build/tests/fuzz/$target" "$corpus" "${stored[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$build/logs/$target.log" 2>&1 || true
}
export -f run_one
mkdir -p "$build/logs"
echo "$targets" | xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$build"

stat() { grep -m1 "^stat::$1:" "$2" | awk '{print $2}' || true; }
printf '%-26s %12s %8s %8s\n' target executions new findings
status=0
for target in $targets; do
  log=$build/logs/$target.log
  found=$(find "$build/findings/$target" -type f | wc -l)
  executions=$(stat number_of_executed_units "$log")
  added=$(stat new_units_added "$log")
  # A target that did not run (no statistics) fails the campaign too; its log says why.
  ((found == 0)) && [[ -n $executions ]] || status=1
  printf '%-26s %12s %8s %8s\n' "$target" "${executions:--}" "${added:--}" "$found"
done
exit $status
