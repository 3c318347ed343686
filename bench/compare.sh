#!/bin/sh
# Full build, no-op build and one-header-touched rebuild of the generated
# large solution, for slipway, ninja -j1 and make -j1, in one run; no-op and
# header-touched figures are the best of three runs each.
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
# best LABEL COMMAND...: the least of three runs, as a short run is easily disturbed
best() {
  label=$1; shift
  b=$(run "$label" "$@")
  for i in 2 3; do t=$(run "$label" "$@"); [ "$(echo "$t < $b" | bc)" = 1 ] && b=$t; done
  echo "$b"
}
# touched LABEL COMMAND...: the least of three header-touched rebuilds
touched() {
  label=$1; shift
  b=
  for i in 1 2 3; do
    touch_header; t=$(run "$label" "$@")
    { [ -z "$b" ] || [ "$(echo "$t < $b" | bc)" = 1 ]; } && b=$t
  done
  echo "$b"
}

SLIP="$STUDIO/bin/slipway -config Debug $SOLUTION"
s_full=$(run s_full $SLIP)
s_noop=$(best s_noop $SLIP)
s_touch=$(touched s_touch $SLIP)
s_rss=$( { /usr/bin/time -f %M $SLIP >/dev/null; } 2>&1 | tail -1)

n_full=$(run n_full ninja -j1)
n_noop=$(best n_noop ninja -j1)
n_touch=$(touched n_touch ninja -j1)

m_full=$(run m_full make -j1)
m_noop=$(best m_noop make -j1)
m_touch=$(touched m_touch make -j1)

ratio() { echo "scale=2; $1 / $2" | bc; }
printf '%-22s %10s %10s %10s\n' "" slipway "ninja -j1" "make -j1"
printf '%-22s %10.3f %10.3f %10.3f\n' "full build (s)" "$s_full" "$n_full" "$m_full"
printf '%-22s %10.3f %10.3f %10.3f\n' "no-op build (s)" "$s_noop" "$n_noop" "$m_noop"
printf '%-22s %10.3f %10.3f %10.3f\n' "header touched (s)" "$s_touch" "$n_touch" "$m_touch"
echo "slipway peak RSS (no-op): $(echo "scale=1; $s_rss / 1024" | bc) MiB"
echo "full: slipway/ninja $(ratio "$s_full" "$n_full")"
echo "no-op: slipway/ninja $(ratio "$s_noop" "$n_noop"), slipway/make $(ratio "$s_noop" "$m_noop")"
echo "header: slipway/ninja $(ratio "$s_touch" "$n_touch")"
