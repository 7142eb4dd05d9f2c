#!/usr/bin/env bash
# Builds the fuzzers (build-fuzz/, clang with ASan and UBSan) and runs each for the given
# minutes (default 1), one after another. New interesting inputs collect in
# build-fuzz/corpus/<fuzzer>/ (seeded from fuzz/corpus/); an input that makes a fuzzer
# fail is written to build-fuzz/findings/<fuzzer>/ and the script ends with a failure.
# Keep each finding, once fixed, in fuzz/corpus/<fuzzer>/ as a regression input.
#
#   scripts/fuzz.sh [minutes] [fuzzer...]
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-1}
shift || true
fuzzers=("$@")
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(settings_plist chord_json desktop_entry favicon browser_rows native_messaging)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DOSTREVANE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
status=0
for name in "${fuzzers[@]}"; do
  corpus=build-fuzz/corpus/$name
  findings=build-fuzz/findings/$name
  mkdir -p "$corpus" "$findings"
  log=build-fuzz/$name.log
  echo "== $name for $minutes min"
  if ! build-fuzz/fuzz/${name}_fuzzer "$corpus" "fuzz/corpus/$name" -max_total_time=$((minutes * 60)) \
      -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1; then
    echo "   FAILED; see $log and $findings/"
    grep -E 'ERROR|finding:|SUMMARY' "$log" | head -5
    status=1
  fi
  # The last status line: executions, coverage (cov: edges, ft: features) and corpus size.
  grep -E '^#[0-9]+' "$log" | tail -1 | sed 's/^/   /'
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec' "$log" | sed 's/^/   /'
done
exit $status
