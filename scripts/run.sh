#!/usr/bin/env bash
# Builds Ostrevane and runs it.
#
# With a display ($DISPLAY answers), the switcher starts there: hold Alt and press Tab.
# Without one, a private Xvfb + openbox session is started with three windows, the
# switcher is summoned with real key presses, a screenshot of the panel is written and
# its path printed, and the session is torn down again.
set -euo pipefail
cd "$(dirname "$0")/.."

# OSTREVANE_BINARY: run that build instead (the test suite checks the demonstration so).
binary="${OSTREVANE_BINARY:-}"
if [ -z "$binary" ]; then
  scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target ostrevane -j "$(nproc 2>/dev/null || echo 2)"
  binary="$PWD/build/src/ostrevane"
fi

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  echo "Starting Ostrevane on $DISPLAY: hold Alt and press Tab."
  echo "If Alt+Tab does nothing, unbind your window manager's own Alt+Tab first (see README)."
  exec "$binary"
fi

# ---- No display: a short demonstration on a private X session ----
work=$(mktemp -d)
out_dir="${OSTREVANE_DEMO_DIR:-$PWD/build/demo}"
mkdir -p "$out_dir"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a condition (a command) for up to 10 s.
wait_for() {
  for _ in $(seq 1 200); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.05
  done
  echo "Timed out waiting for: $*" >&2
  return 1
}

# Xvfb picks a free display and prints its number; -noreset keeps it from resetting
# whenever its last client leaves.
Xvfb -displayfd 1 -screen 0 1440x900x24 -nolisten tcp -noreset >"$work/display" 2>/dev/null &
pids+=($!)
wait_for test -s "$work/display"
export DISPLAY=":$(head -n1 "$work/display")"
wait_for xdotool getdisplaygeometry

# openbox binds Alt+Tab itself: the demonstration's copy of its configuration does not.
perl -0pe 's{<keybind key="(?:A-Tab|A-S-Tab|C-A-Tab)">.*?</keybind>\s*}{}gs' /etc/xdg/openbox/rc.xml >"$work/rc.xml"
openbox --config-file "$work/rc.xml" >/dev/null 2>&1 &
pids+=($!)

for title in "Notes" "Build log"; do
  xterm -title "$title" -geometry 80x20 >/dev/null 2>&1 &
  pids+=($!)
  wait_for xdotool search --name "^$title\$"
done
xclock >/dev/null 2>&1 &
pids+=($!)
wait_for xdotool search --class XClock
# The stacking the list falls back to, made certain: "Build log" in front, the clock
# beneath it, "Notes" at the bottom.
wait_for xdotool search --class XClock windowraise
wait_for xdotool search --name "^Build log\$" windowactivate --sync

# A fresh settings folder in which the first-run guide counts as done.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/ostrevane"
cat >"$XDG_CONFIG_HOME/ostrevane/com.local.ostrevane.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>Ostrevane.DidCompleteInteractiveOnboarding</key><true/></dict></plist>
PLIST
export XDG_RUNTIME_DIR="$work" # the per-user socket of this copy stays private to the demonstration
"$binary" >"$work/ostrevane.log" 2>&1 &
pids+=($!)
wait_for test -S "$work/ostrevane/instance.socket"

# Whether the program's panel is on the screen (between showings it waits mapped far
# off screen, at negative coordinates).
panel_on_screen() {
  local window x
  for window in $(xdotool search --onlyvisible --pid "$1"); do
    x=$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^X=//p')
    [ "${x:--1}" -ge 0 ] && return 0
  done
  return 1
}

echo "Active window before: $(xdotool getactivewindow getwindowname)"
xdotool keydown alt key Tab
wait_for panel_on_screen "${pids[-1]}"
sleep 0.3 # let the slide-in (0.14 s) finish for the picture
shot="$out_dir/ostrevane-panel.png"
/usr/bin/import -window root "$shot"
xdotool key Tab keyup alt
sleep 0.5
echo "Alt+Tab, Tab, release Alt: the third row opened, now active: $(xdotool getactivewindow getwindowname)"
echo "Screenshot of the panel: $shot"
