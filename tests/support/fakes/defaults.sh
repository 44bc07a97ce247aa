#!/bin/sh
# Fake defaults: a store of one file per domain and key. Booleans read back as 1/0 like the real
# tool's.
# Set by SetupFakes before this body: store (the store's folder), fail_marker (while this file
# exists, every write fails).
# shellcheck disable=SC2154
case "$1" in
  write)
    [ $# -eq 5 ] || { echo 'defaults: wrong number of arguments' >&2; exit 1; }
    if [ -f "$fail_marker" ]; then echo "Could not write domain $2; exiting" >&2; exit 1; fi
    value="$5"
    if [ "$4" = -bool ]; then
      case "$value" in
        true|TRUE|yes|YES|1) value=1 ;;
        false|FALSE|no|NO|0) value=0 ;;
        *) echo "Invalid boolean: $value" >&2; exit 1 ;;
      esac
    fi
    mkdir -p "$store/$2" && printf '%s\n' "$value" > "$store/$2/$3" ;;
  read)
    if [ -f "$store/$2/$3" ]; then cat "$store/$2/$3"; exit 0; fi
    echo "The domain/default pair of ($2, $3) does not exist" >&2
    exit 1 ;;
  *) exit 1 ;;
esac
