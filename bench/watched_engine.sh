# The engine run by bench/watch_soak.sh and bench/rebuild_memory.sh: headless
# with --watch in a game folder, and waits on what it writes to stderr.
# Sourced; the caller sets `bin` (the engine), `work` (a scratch folder),
# `name` (for messages), `wait_seconds` (how long one wait may take) and
# `poll` (seconds between looks), then calls start_watched_engine GAME_DIR.
# It sets `engine` (the PID) and `err` (the stderr file).

# The smallest window and no multisampling: frames come sooner, and these
# runs are about loading, not drawing.
start_watched_engine() {
  printf '[rezolution]=640x480\r\n[AAliasing]=false\r\n' > "$1/ini.txt"
  err="$work/engine.err"
  (cd "$1" && exec "$bin" --headless --watch 2> "$err") &
  engine=$!
}

lines() { grep -c -F -- "$1" "$err" || true; }

wait_for() {  # wait_for TEXT COUNT
  local deadline=$((SECONDS + wait_seconds))
  while [ "$(lines "$1")" -lt "$2" ]; do
    if ! kill -0 "$engine" 2>/dev/null || [ $SECONDS -gt $deadline ]; then
      echo "$name: no '$1' (#$2) from the engine" >&2
      tail -5 "$err" >&2
      exit 1
    fi
    sleep "$poll"
  done
}

field_kib() { awk -v f="$1:" '$1 == f {print $2}' "/proc/$engine/status"; }  # field_kib VmRSS
