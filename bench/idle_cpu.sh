#!/usr/bin/env bash
# CPU time that ruvoz303 uses while it waits for the operator: the program
# runs in a detached tmux session on the data tree DIR; after it has drawn
# its form, its user + system time is read from /proc before and after an
# idle period.
#   bench/idle_cpu.sh DIR [seconds]      (DIR made by kap init and kap demo)
set -euo pipefail
dir="${1:?usage: bench/idle_cpu.sh DIR [seconds]}"
dir="$(cd "$dir" && pwd)/"
seconds="${2:-10}"
bin="$(cd "$(dirname "$0")/.." && pwd)/build/bin/"
socket="kova_idle_$$"
mkdir -p "$dir/tmp"
printf '[Menu]\r\nTitol=MODEL 303\r\nNomMenu=RUVOZ303\r\n' > "$dir/tmp/Sessio.ini"
printf '[Sistema]\r\nData=20240515\r\nIdioma=CAT\r\n' > "$dir/tmp/KovaTerm.ini"
tmux -L "$socket" -f /dev/null new-session -d -s idle -x 80 -y 25 \
  "LC_ALL=C.UTF-8 KAPROOT='$dir' KAPEXE='$bin' KAPTMP='$dir/tmp/' exec '$bin/ruvoz303'"
trap 'tmux -L "$socket" kill-server 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  tmux -L "$socket" capture-pane -p -t idle | grep -q "Tipus de sortida" && break
  sleep 0.1
done
pid=$(tmux -L "$socket" display-message -p -t idle '#{pane_pid}')
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep "$seconds"
after=$(ticks)
echo "ruvoz303 waiting on its form for ${seconds} s: $((after - before)) clock ticks of CPU (1 tick = 1/${hz} s)"
