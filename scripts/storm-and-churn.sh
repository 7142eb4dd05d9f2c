#!/usr/bin/env bash
# The long robustness runs of the real program on a private X session (about three
# minutes): 1,000 random key and click sequences (tests/stress/KeyStorm_stress_test.cpp)
# and a minute of windows opened and closed at 100 per second while Alt+Tab is tapped
# every 50 ms (tests/stress/WindowChurn_stress_test.cpp, which prints the program's RSS
# before, during and after). Not part of scripts/test.sh.
#
#   scripts/storm-and-churn.sh                     # both
#   OSTREVANE_STORM_SEED=7 scripts/storm-and-churn.sh KeyStorm   # another storm
set -euo pipefail
cd "$(dirname "$0")/.."

[ -d build ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target ostrevane ostrevane_stress_tests >/dev/null
ctest --test-dir build --output-on-failure -V -L stress ${1:+-R "$1"} | grep -E 'storm seed|RSS|Passed|Failed|tests passed|Failure|screenshot' 
