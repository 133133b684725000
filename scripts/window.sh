# Sourced. Finding and capturing the program's window under X without a
# window manager, where Wine maps the client area to a child X window.

# wait_for_window TITLE SECONDS: prints the top-level X window's id.
wait_for_window() {
  local title="$1" seconds="$2" window
  for _ in $(seq $((seconds * 10))); do
    window=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
      echo "$window"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# client_area_id TITLE: the 800x600 child X window of the titled window.
client_area_id() {
  xwininfo -root -tree | awk -v title="\"$1\":" '
    index($0, title) { found = 1; next }
    found && / 800x600\+/ { print $1; exit }'
}

# capture_client_area TITLE FILE: saves the client area as an image file.
capture_client_area() {
  local id
  id=$(client_area_id "$1")
  [ -n "$id" ] || return 1
  xwd -silent -id "$id" | convert xwd:- "$2"
}
