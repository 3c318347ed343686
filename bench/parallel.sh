#!/bin/sh
# Full build of the generated large solution, serial and with several jobs,
# for slipway and ninja, in one run; every build starts from a fresh copy of
# the same sources.
#   bench/parallel.sh [BUILD_DIR] [JOBS] [gen-large.py options...]
# SLOW=SECONDS makes every compile take that much longer (a compiler that
# waits, as a real one computing would), so that what is measured is how
# well the builds overlap commands rather than how well the machine starts
# processes side by side.
set -e
BUILD=${1:-build}; [ $# -gt 0 ] && shift
JOBS=${1:-2}; [ $# -gt 0 ] && shift
STUDIO=$(cd "$BUILD/studio" && pwd)
WORK=$(mktemp -d /tmp/slipway-parallel.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config" HOME="$WORK/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

if [ -n "$SLOW" ]; then
  # A studio whose compiler first waits: links to the real one's parts.
  mkdir -p "$WORK/studio/bin"
  for f in "$STUDIO"/*; do [ "$(basename "$f")" = bin ] || ln -s "$f" "$WORK/studio/"; done
  for f in "$STUDIO"/bin/*; do ln -s "$f" "$WORK/studio/bin/"; done
  rm "$WORK/studio/bin/hcc"
  printf '#!/bin/sh\nsleep %s\nexec %s "$@"\n' "$SLOW" "$STUDIO/bin/hcc" >"$WORK/studio/bin/hcc"
  chmod +x "$WORK/studio/bin/hcc"
  STUDIO="$WORK/studio"
fi
python3 "$(dirname "$0")/gen-large.py" "$WORK/pristine" "$STUDIO" "$@" >/dev/null

now() { date +%s.%N; }
# run LABEL COMMAND...: a fresh tree and cache, then prints seconds taken
run() {
  label=$1; shift
  rm -rf "$WORK/sol" "$WORK/cache"
  cp -a "$WORK/pristine" "$WORK/sol"
  export XDG_CACHE_HOME="$WORK/cache"
  cd "$WORK/sol"
  t0=$(now); "$@" >"$WORK/$label.log" 2>&1 || { echo "$label failed:"; tail -5 "$WORK/$label.log"; exit 1; }
  t1=$(now); cd "$WORK"; echo "$t1 - $t0" | bc
}

SLIP="$STUDIO/bin/slipway -config Debug large.hzp"
serial=$(run serial env -u SLIPWAY_JOBS $SLIP)
one=$(run one env SLIPWAY_JOBS=1 $SLIP)
jobs=$(run jobs env SLIPWAY_JOBS="$JOBS" $SLIP)
ninja=$(run ninja ninja -j"$JOBS")
ninja1=$(run ninja1 ninja -j1)
# The parallel build printed what the serial one did.
cmp -s "$WORK/serial.log" "$WORK/jobs.log" && same=yes || same=NO

ratio() { echo "scale=2; $1 / $2" | bc; }
printf '%-34s %8.2f s\n' "slipway, SLIPWAY_JOBS unset" "$serial"
printf '%-34s %8.2f s\n' "slipway, SLIPWAY_JOBS=1" "$one"
printf '%-34s %8.2f s\n' "slipway, SLIPWAY_JOBS=$JOBS" "$jobs"
printf '%-34s %8.2f s\n' "ninja -j$JOBS" "$ninja"
printf '%-34s %8.2f s\n' "ninja -j1" "$ninja1"
echo "SLIPWAY_JOBS=$JOBS / serial: $(ratio "$jobs" "$serial")"
echo "SLIPWAY_JOBS=$JOBS / ninja -j$JOBS: $(ratio "$jobs" "$ninja")"
echo "SLIPWAY_JOBS=1 / unset: $(ratio "$one" "$serial")"
echo "output of the parallel build identical to the serial one: $same"
