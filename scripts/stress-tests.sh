#!/usr/bin/env bash
# Runs the X11 backend and end-to-end suites N times in a row (default 20), without
# retries, while the machine builds the program in parallel, so that a test that fails
# only under load shows itself. Stops at the first failing round and prints which test
# failed; its output stays in build/Testing/Temporary/LastTest.log and its screenshot in
# build/tests/e2e-artifacts/.
#
#   scripts/stress-tests.sh [rounds]
#   STRESS_LOAD=0 scripts/stress-tests.sh 5     # without the parallel build
#
# Expects a configured and built build/ (scripts/test.sh makes one).
set -uo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-20}
load=${STRESS_LOAD:-1}
[ -d build ] || { echo "no build/ folder: run scripts/test.sh first" >&2; exit 2; }

load_pid=
stop_load() { [ -n "$load_pid" ] && kill -- "-$load_pid" 2>/dev/null; wait 2>/dev/null; }
trap stop_load EXIT

if [ "$load" = 1 ]; then
  # A second build tree rebuilt from scratch over and over, at a lower priority than the
  # tests, as a developer's machine (or CI runner) that compiles meanwhile.
  cmake -S . -B build-load -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREVANE_BENCHMARKS=OFF \
    -DBUILD_TESTING=OFF >/dev/null
  setsid bash -c 'while :; do nice -n 5 cmake --build build-load -j 2 --clean-first >/dev/null 2>&1; done' &
  load_pid=$!
fi

start=$(date +%s)
for round in $(seq 1 "$rounds"); do
  round_start=$(date +%s)
  if ! ctest --test-dir build --output-on-failure -j 1 --timeout 300 -L 'x11|e2e' >"build/stress-round.log" 2>&1; then
    echo "round $round of $rounds FAILED after $(( $(date +%s) - start )) s:"
    grep -E '^\s*[0-9]+ - |Failed|\*\*\*' build/stress-round.log | tail -20
    exit 1
  fi
  passed=$(grep -Eo '[0-9]+ tests passed|100% tests passed, 0 tests failed out of [0-9]+' build/stress-round.log | tail -1)
  echo "round $round of $rounds passed ($passed) in $(( $(date +%s) - round_start )) s; load $(cut -d' ' -f1-3 /proc/loadavg)"
done
echo "all $rounds rounds passed in $(( $(date +%s) - start )) s"
