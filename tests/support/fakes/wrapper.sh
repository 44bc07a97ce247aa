#!/bin/sh
# A recorded stand-in that hands every call to the machine's real tool.
# Set by SetupFakes before this body: real (the real tool's path).
# shellcheck disable=SC2154
exec "$real" "$@"
