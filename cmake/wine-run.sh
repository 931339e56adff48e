#!/usr/bin/env bash
# Runs one Windows program under Wine for CMake and CTest (the cross build's emulator):
#
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#
# PREFIX is the private Wine prefix to use; it is created and configured on first use. When no
# Wine server runs for it, one is started with its output detached (see .ci/wine-env.sh) and ends
# by itself two minutes after its last program; a server that is already running (for example one
# started by `source .ci/wine-env.sh`) is used as it is. The program's exit status is passed on.
set -u
if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
fi
export TORVANE_WINEPREFIX="$1"
shift
TORVANE_WINE_ENV_FUNCTIONS_ONLY=1
# shellcheck source=../.ci/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../.ci/wine-env.sh"

torvane_wine_setup || exit 125
rc=0
( flock -w 120 9 && torvane_wine_start_server 120 ) 9>"${WINEPREFIX}.lock" || rc=$?
if [ "${rc}" -ne 0 ] && [ "${rc}" -ne 2 ]; then
    echo "wine-run: could not start the Wine server for ${WINEPREFIX}" >&2
    exit 125
fi
exec timeout --kill-after=10 "${TORVANE_WINE_RUN_TIMEOUT:-900}" "${TORVANE_WINE_LAUNCH[@]}" wine "$@"
