#!/usr/bin/env bash
# Times the unattended install of the sample suite, for tracking the engine's speed (not a test):
# N installs (default 5), each into a fresh Windows environment (a copy of the build's Wine
# template), and prints for each run and on average the total time, the time spent in the
# stand-ins of the components' programs (while any of them runs) and the engine's own share, the
# total minus the stand-ins' time. Builds the win64 preset's package when needed.
#   tools/bench.sh [N]
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
tools/ensure-tools.sh
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target sample_package >/dev/null
. tests/wine/prefix.sh
root=$PWD/build/win64/wine
ov_make_template "$root"
package=$PWD/build/win64/packages/suite
scratch=$(mktemp -d "$root/bench.XXXXXX")
export WINEPREFIX=$scratch/prefix
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# FILETIME ticks (100 ns since 1601) of the Linux clock, which Wine's clock is.
ticks_now() { echo $(($(date +%s%N) / 100 + 116444736000000000)); }

# stand_in_ticks START END FILE: how long, within START..END, at least one stand-in ran.
stand_in_ticks() {
  local start=$1 end=$2 file=$3
  [ -s "$file" ] || { echo 0; return; }
  # Relative to START (small enough for awk's doubles), clipped, then merged where they overlap.
  while read -r from to _; do
    from=$((from < start ? 0 : from - start))
    to=$((to > end ? end - start : to - start))
    [ "$to" -gt "$from" ] && echo "$from $to"
  done <"$file" | sort -n -k1,1 | awk '
    { if (NR == 1 || $1 > last) { sum += last - first; first = $1; last = $2 } else if ($2 > last) last = $2 }
    END { if (NR > 0) sum += last - first; printf "%d\n", sum }'
}

seconds() { awk -v t="$1" 'BEGIN { printf "%.2f", t / 1e7 }'; }

total_sum=0 standins_sum=0
for run in $(seq 1 "$runs"); do
  rm -rf "$WINEPREFIX"
  ov_copy_template "$root" "$WINEPREFIX"
  "$WINESERVER" -p
  # Wine starts its own services with the first program of a machine: not the install's time.
  "$WINE64" reg query 'HKLM\Software' >/dev/null 2>&1 || true
  start=$(ticks_now)
  set +e
  OV_STANDIN_RUNTIMES='C:\ovruntimes.txt' "$WINE64" "$package/ovsetup.exe" /Silent \
    '/Path=C:\Program Files\Tarnel\Internet Security Suite'
  code=$?
  set -e
  end=$(ticks_now)
  total=$((end - start))
  standins=$(stand_in_ticks "$start" "$end" "$WINEPREFIX/drive_c/ovruntimes.txt")
  echo "run $run: total $(seconds $total) s, stand-ins $(seconds "$standins") s," \
    "engine $(seconds $((total - standins))) s (exit code $code)"
  if [ "$code" != 0 ]; then
    echo "run $run: the install failed; its log:" >&2
    tr -d '\r' <"$WINEPREFIX/drive_c/ovkestralog.txt" | tail -20 >&2 || true
  fi
  total_sum=$((total_sum + total)) standins_sum=$((standins_sum + standins))
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
done
echo "mean of $runs: total $(seconds $((total_sum / runs))) s, stand-ins $(seconds $((standins_sum / runs))) s," \
  "engine $(seconds $(((total_sum - standins_sum) / runs))) s"
