# Source this file to run the Windows build under Wine with no display:
#
#   source .ci/wine-env.sh            # prefix: build/windows/wine-prefix of this checkout
#   TORVANE_WINEPREFIX=/some/dir source .ci/wine-env.sh
#   ...
#   torvane_wine PROGRAM.exe ...      # runs a program (see torvane_wine below)
#   torvane_wine_stop
#
# It uses a private prefix (never ~/.wine), creates it on first use, sets Wine's null graphics
# driver (so CreateWindowExW works headless) and switches off the crash debugger (so a crashing
# .exe ends at once instead of waiting for a debugger), then restarts the Wine server persistently
# with its output detached: otherwise anything that waits for the end of a test's output (ctest,
# a pipe) waits for the server's helper processes too. Every Wine command runs under `timeout`.
#
# Set TORVANE_WINE_ENV_FUNCTIONS_ONLY=1 before sourcing to get the functions without starting
# anything (cmake/wine-run.sh does that).

_torvane_wine_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

export WINEPREFIX="${TORVANE_WINEPREFIX:-${_torvane_wine_repo}/build/windows/wine-prefix}"
export WINEDEBUG=-all
# Seconds allowed to one Wine set-up command (prefix creation takes about 10 s).
TORVANE_WINE_TIMEOUT="${TORVANE_WINE_TIMEOUT:-180}"

# Debian's 64-bit Wine comes without Wine's preloader, which would keep the address range of
# Windows' shared user data (0x7ffe0000) free. wine64 is linked at 0x7d000000 and, with address
# space randomisation, its C heap now and then starts inside that range: the program then fails to
# start ("failed to map the shared user data", exit status 1, nothing printed) about once in a few
# thousand starts. Without randomisation the heap sits right after wine64. Every Wine process is
# started through this launcher; the setting is inherited by the processes Wine starts in turn.
if setarch "$(uname -m)" -R true >/dev/null 2>&1; then
    TORVANE_WINE_LAUNCH=(setarch "$(uname -m)" -R)
else
    TORVANE_WINE_LAUNCH=()
fi

# Runs a Windows program under Wine in this prefix: torvane_wine PROGRAM.exe [ARGUMENTS...]
torvane_wine() {
    "${TORVANE_WINE_LAUNCH[@]}" wine "$@"
}

# Runs one Wine set-up command quietly under the time limit; prints its output only on failure.
# The output goes to a file, not a pipe: Wine's helper processes inherit it and outlive the
# command, so reading a pipe to its end would wait for them. File descriptor 9 (the set-up lock)
# is closed for them, or a persistent server would hold the lock for good.
_torvane_wine_quiet() {
    local log rc=0
    log="$(mktemp)" || return 1
    timeout --kill-after=10 "${TORVANE_WINE_TIMEOUT}" "${TORVANE_WINE_LAUNCH[@]}" "$@" \
        >"${log}" 2>&1 </dev/null 9>&- || rc=$?
    if [ "${rc}" -ne 0 ]; then
        printf 'wine-env: "%s" failed with status %s\n' "$*" "${rc}" >&2
        cat "${log}" >&2
    fi
    rm -f "${log}"
    return "${rc}"
}

# Sets one registry value, retrying once or twice: a fresh prefix may still be busy with its own
# set-up.
_torvane_wine_reg_add() {
    local attempt
    for attempt in 1 2 3; do
        if _torvane_wine_quiet wine reg add "$@" /f; then return 0; fi
        sleep 1
    done
    return 1
}

# Creates and configures the prefix unless a finished one is there. Serialised by a lock file so
# that parallel test processes do not build the same prefix twice.
torvane_wine_setup() {
    mkdir -p "$(dirname "${WINEPREFIX}")" || return 1
    (
        flock -w 600 9 || { echo "wine-env: could not lock ${WINEPREFIX}.lock" >&2; exit 1; }
        [ -f "${WINEPREFIX}/.torvane-ready" ] && exit 0
        # A prefix left half-made by an interrupted run is made anew; anything else is not ours.
        if [ -e "${WINEPREFIX}" ]; then
            if [ -d "${WINEPREFIX}/drive_c" ] || [ -d "${WINEPREFIX}/dosdevices" ] \
                || [ -z "$(ls -A "${WINEPREFIX}")" ]; then
                rm -rf "${WINEPREFIX}"
            else
                echo "wine-env: ${WINEPREFIX} exists and is no Wine prefix" >&2
                exit 1
            fi
        fi
        echo "wine-env: creating Wine prefix ${WINEPREFIX}" >&2
        # No Mono or Gecko installer prompts, no desktop menu entries.
        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
            _torvane_wine_quiet wineboot -i || exit 1
        _torvane_wine_reg_add 'HKCU\Software\Wine\Drivers' /v Graphics /d null || exit 1
        _torvane_wine_reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /d '' || exit 1
        # Write the registry out and let the new driver setting take effect on the next start.
        torvane_wine_stop
        touch "${WINEPREFIX}/.torvane-ready"
    ) 9>"${WINEPREFIX}.lock"
}

# Stops this prefix's Wine server and waits until it and its helper processes are gone.
torvane_wine_stop() {
    timeout 30 wineserver -k >/dev/null 2>&1 </dev/null 9>&- || true
    timeout 60 wineserver -w >/dev/null 2>&1 </dev/null 9>&- || true
}

# Starts this prefix's server with its output detached and lets it start its helper processes
# (services, plugplay, ...) with detached output as well. With an argument N the server ends N
# seconds after its last client; with none it stays until torvane_wine_stop.
# Returns 0 when it started a server, 2 when one was already running.
torvane_wine_start_server() {
    local rc=0
    timeout 30 wineserver "-p${1:-}" >/dev/null 2>&1 </dev/null 9>&- || rc=$?
    if [ "${rc}" -eq 0 ]; then
        _torvane_wine_quiet wine cmd /c exit || return 1
    fi
    return "${rc}"
}

# Restarts this prefix's server persistently.
torvane_wine_start() {
    torvane_wine_stop
    torvane_wine_start_server
}

if [ "${TORVANE_WINE_ENV_FUNCTIONS_ONLY:-0}" != 1 ]; then
    torvane_wine_setup && torvane_wine_start
fi
