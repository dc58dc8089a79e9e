#!/usr/bin/env bash
# Waits for a mapped X window whose title matches REGEX, gives it a second to finish
# painting and prints its id; fails when none appears within SECONDS.
# Usage: find-window.sh REGEX SECONDS
set -u
for _ in $(seq 1 $(($2 * 2))); do
  id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
  if [ -n "$id" ]; then
    sleep 1
    echo "$id"
    exit 0
  fi
  sleep 0.5
done
exit 1
