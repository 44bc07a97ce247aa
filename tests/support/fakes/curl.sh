#!/bin/sh
# Fake curl: serves the stand-in Oh My Zsh installer for the installer's address, the last
# argument; any other address fails as an unreachable host would.
# Set by SetupFakes before this body: installer_url, installer (the stand-in's file).
# shellcheck disable=SC2154
for last; do :; done
if [ "$last" = "$installer_url" ]; then cat "$installer"; exit 0; fi
echo "curl: (6) Could not resolve host" >&2
exit 6
