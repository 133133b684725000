#!/usr/bin/env bash
# The program's window and the three ways it ends, seen from outside: Escape
# answered No keeps it running, Escape answered Yes ends it with 1, a close by
# the system ends it with 0.
source "$(dirname "$0")/e2e.sh"

start_game
[ "$(xdotool getwindowname "$WINDOW")" = "$TITLE" ] || fail "wrong title"
geometry=$(xwininfo -id "$CLIENT" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
[ "$geometry" = "800x600" ] || fail "the client area is $geometry, not 800x600"

# Each Escape asks again.
for _ in 1 2; do
  answer_quit n
  sleep 1
  game_is_running || fail "answering No ended the program"
done
answer_quit y
expect_exit 1

start_game
press alt+F4
expect_exit 0
echo "PASS"
