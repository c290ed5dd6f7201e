# Shared by the end-to-end scripts: a private X server, folders and settings
# of their own, a desktop opener that writes down what it was given, and
# the waits and keys a person would use. Source it after setting `bin`.
for tool in Xvfb xdotool pdfinfo pdfimages pdftotext; do
  command -v "$tool" >/dev/null || { echo "missing $tool (make deps installs it)" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb=""
watched=""   # the process whose end means the road has failed
logs=()
cleanup() {
  for pid in $(jobs -p); do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "${logs[@]}"; do
    [ ! -f "$log" ] || sed "s|^|  $(basename "$log" .log): |" "$log" >&2
  done
  exit 1
}

mkdir -p "$work/home" "$work/config" "$work/run" "$work/fake"
chmod 700 "$work/run"
cat > "$work/fake/xdg-open" <<FAKE
#!/bin/sh
echo "\$@" >> "$work/viewed"
FAKE
chmod +x "$work/fake/xdg-open"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
export TMPDIR="$work"
export PATH="$work/fake:$PATH"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# Waits until the wizard shows step n (of any count).
step() {
  for _ in $(seq 300); do
    [ -z "$watched" ] || kill -0 "$watched" 2>/dev/null || fail "the program ended before step $1"
    xdotool search --onlyvisible --name "step $1 of" >/dev/null 2>&1 && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "step $1 never showed"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
# Waits up to s seconds for the process to end; false when it did not.
ended() {
  for _ in $(seq "$(($2 * 10))"); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}
# The step count the wizard's title shows ("step 1 of 7": 7).
step_count() {
  xdotool search --onlyvisible --name "step $1 of" getwindowname 2>/dev/null | head -n1 | sed 's/.* of //'
}
