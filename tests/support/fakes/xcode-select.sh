#!/bin/sh
# Fake xcode-select. `-p` prints the Command Line Tools folder once it exists; `--install` only
# requests the installation, which creates the folder later, in the background, like the real
# installer that finishes long after the command has returned.
# Set by SetupFakes before this body: dir (the tools folder), delay (seconds, or "never").
# shellcheck disable=SC2154
case "$1" in
  -p)
    if [ -d "$dir" ]; then printf '%s\n' "$dir"; exit 0; fi
    echo 'xcode-select: error: unable to get active developer directory' >&2
    exit 2 ;;
  --install)
    if [ -d "$dir" ]; then
      echo 'xcode-select: error: command line tools are already installed' >&2; exit 1
    fi
    if [ "$delay" != never ]; then
      # No mkdir -p: once the sandbox is gone, a late installation fails instead of
      # re-creating folders under /tmp.
      ( sleep "$delay"; mkdir "$dir" ) </dev/null >/dev/null 2>&1 &
    fi
    echo 'xcode-select: note: install requested for command line developer tools' >&2
    exit 0 ;;
esac
exit 1
