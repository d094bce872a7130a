#!/usr/bin/env bash
# bench/history.sh DIR [RERUNS]
#
# The history of a quarter filed many times over: DIR is a demo office (laid
# out with kap init and kap demo --owners 9999 the first time), filed for the
# second quarter of 2024 RERUNS + 1 times (default 10 reruns) with the payment
# form going N, D, N, ... so that every rerun replaces the files of positive
# results (type I and U in turn) and takes away or puts back those of owners
# without an account. Then kap history is timed over it, best of three:
# the runs of the log, the runs and the versions of one owner, a kept
# version shown. The outputs of earlier runs of this script are removed
# first.
#
# KOVA_BUILD_DIR   build folder (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: bench/history.sh DIR [RERUNS]" >&2
  exit 2
fi
dir="${1%/}"
reruns="${2:-10}"
kap="${KOVA_BUILD_DIR:-build}/bin/kap"
if [ ! -f "$dir/DADES/VPropiet.dat" ]; then
  "$kap" init "$dir" >/dev/null
  "$kap" demo "$dir" --owners 9999 --today 20240715 >/dev/null
fi
rm -rf "$dir"/{ATC,AEAT,DFA,DFG,DFB,DFN,ATIC,ATA,ATF,HISTORIC} "$dir/DADES/V303.MAP" "$dir/DADES/V303.LOG"
export KAPTMP="$dir/tmp/"
mkdir -p "$KAPTMP"
printf '[Sistema]\r\nSortida=TXT\r\n' >"$KAPTMP/KovaTerm.ini"

for i in $(seq 0 "$reruns"); do
  payment=N
  [ $((i % 2)) -eq 1 ] && payment=D
  "$kap" run303 "$dir" --mode S --date 20240630 --payment "$payment" --town GIRONA \
    --account 21000418450200051332 2>/dev/null || { echo "run $i failed" >&2; exit 1; }
done
echo "HISTORIC: $(find "$dir/HISTORIC" -type f | wc -l) kept versions, $(du -s --apparent-size -B1 "$dir/HISTORIC" | cut -f1) bytes (apparent)"
echo "log: $(wc -l <"$dir/DADES/V303.LOG") lines"

kept="$(cd "$dir" && ls HISTORIC/303M2024.2T/AEAT | grep '^P0042\.' | head -1 || true)"
[ -n "$kept" ] || { echo "no kept version of P0042 in AEAT: the reruns replaced nothing" >&2; exit 1; }
times="$(mktemp)"
trap 'rm -f "$times"' EXIT
# The best of three: wall seconds, and the peak resident memory.
best() {
  local best=999 t
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$times" "$@" >/dev/null 2>&1
    t="$(cut -d' ' -f1 "$times")"
    best="$(echo "$t $best" | awk '{print ($1 < $2) ? $1 : $2}')"
  done
  echo "$best s ($(cut -d' ' -f2 "$times") KB)"
}
echo "kap history DIR:                              $(best "$kap" history "$dir")"
echo "kap history DIR --date 20240630 --owner 42:   $(best "$kap" history "$dir" --date 20240630 --owner 42)"
echo "kap history DIR --owner 42 (every quarter):   $(best "$kap" history "$dir" --owner 42)"
echo "kap history DIR --show (a kept P0042):        $(best "$kap" history "$dir" --show "HISTORIC/303M2024.2T/AEAT/$kept")"
