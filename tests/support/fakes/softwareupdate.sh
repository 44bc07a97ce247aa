#!/bin/sh
# Fake softwareupdate: only `--install-rosetta`, which creates the Rosetta runtime file.
# Set by SetupFakes before this body: rosetta (the runtime file), behaviour ("installs", "fails",
# or "fails-but-installs": an error exit although the runtime did get installed).
# shellcheck disable=SC2154
if [ "$1" != --install-rosetta ]; then exit 1; fi
echo 'Installing Rosetta 2 on this system.'
case "$behaviour" in
  installs)
    mkdir -p "${rosetta%/*}" && : > "$rosetta"
    echo 'Install of Rosetta 2 finished successfully' ;;
  fails)
    echo 'Rosetta 2 Installation failed with error: 1' >&2
    exit 1 ;;
  fails-but-installs)
    mkdir -p "${rosetta%/*}" && : > "$rosetta"
    echo 'An error occurred while installing Rosetta 2' >&2
    exit 1 ;;
  *) exit 1 ;;
esac
