#!/bin/sh
# Full build, no-op build and one-header-touched rebuild of the generated
# large solution, for slipway, ninja -j1 and make -j1, in one run.
#   bench/compare.sh [BUILD_DIR] [generator options...]
# GEN=apps uses gen-apps.py (executables with project headers, the workload of
# the speed goals) instead of gen-large.py.
set -e
GEN=${GEN:-large}
case $GEN in
  apps) SOLUTION=apps.hzp; HEADER=p00/inc/p00_07.h ;;
  *) GEN=large; SOLUTION=large.hzp; HEADER=include/h07.h ;;
esac
BUILD=${1:-build}; [ $# -gt 0 ] && shift
STUDIO=$(cd "$BUILD/studio" && pwd)
WORK=$(mktemp -d /tmp/slipway-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" XDG_CACHE_HOME="$WORK/cache" HOME="$WORK/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

python3 "$(dirname "$0")/gen-$GEN.py" "$WORK/sol" "$STUDIO" "$@" >/dev/null
cd "$WORK/sol"

now() { date +%s.%N; }
# run LABEL COMMAND...: prints seconds taken
run() {
  label=$1; shift
  t0=$(now); "$@" >"$WORK/$label.log" 2>&1 || { echo "$label failed:"; tail -5 "$WORK/$label.log"; exit 1; }
  t1=$(now); echo "$t1 - $t0" | bc
}
touch_header() { sleep 1.1; touch "$HEADER"; }

SLIP="$STUDIO/bin/slipway -config Debug $SOLUTION"
s_full=$(run s_full $SLIP)
s_noop=$(run s_noop $SLIP)
touch_header; s_touch=$(run s_touch $SLIP)
s_rss=$( { /usr/bin/time -f %M $SLIP >/dev/null; } 2>&1 | tail -1)

n_full=$(run n_full ninja -j1)
n_noop=$(run n_noop ninja -j1)
touch_header; n_touch=$(run n_touch ninja -j1)

m_full=$(run m_full make -j1)
m_noop=$(run m_noop make -j1)
touch_header; m_touch=$(run m_touch make -j1)

ratio() { echo "scale=2; $1 / $2" | bc; }
printf '%-22s %10s %10s %10s\n' "" slipway "ninja -j1" "make -j1"
printf '%-22s %10.3f %10.3f %10.3f\n' "full build (s)" "$s_full" "$n_full" "$m_full"
printf '%-22s %10.3f %10.3f %10.3f\n' "no-op build (s)" "$s_noop" "$n_noop" "$m_noop"
printf '%-22s %10.3f %10.3f %10.3f\n' "header touched (s)" "$s_touch" "$n_touch" "$m_touch"
echo "slipway peak RSS (no-op): $((s_rss / 1024)) MB"
echo "full: slipway/ninja $(ratio "$s_full" "$n_full")"
echo "no-op: slipway/ninja $(ratio "$s_noop" "$n_noop"), slipway/make $(ratio "$s_noop" "$m_noop")"
echo "header: slipway/ninja $(ratio "$s_touch" "$n_touch")"
