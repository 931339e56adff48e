#!/usr/bin/env bash
# Runs each fuzzer for a bounded time on a scratch copy of its seed corpus (so the checked-in
# corpus never grows), and fails when one finds a crash or a mismatch: the telemetry reader for
# the time given, then each of torvane-adapt's game readers for a quarter of it (at least 5 s).
# Usage: tests/fuzz/run-fuzz.sh <build-dir> <seconds>   (build dir configured with the linux-fuzz preset)
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 <build-dir> <seconds>" >&2
    exit 2
fi
build_dir=$1
seconds=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# fuzz NAME CORPUS SECONDS: one fuzzer's bounded run.
fuzz() {
    local fuzzer="$build_dir/tests/fuzz/$1" work status=0
    if [[ ! -x "$fuzzer" ]]; then
        echo "$0: no fuzzer at $fuzzer (cmake --build $build_dir --target $1)" >&2
        exit 2
    fi
    work=$(mktemp -d)
    mkdir -p "$work/corpus" "$work/artifacts"
    cp "$here/corpus/$2/"* "$work/corpus/"
    "$fuzzer" "$work/corpus" -max_total_time="$3" -max_len=8191 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" || status=$?
    if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" > /dev/null; then
        keep="$build_dir/fuzz-artifacts"
        mkdir -p "$keep"
        cp "$work/artifacts/"* "$keep/" 2>/dev/null || true
        rm -rf "$work"
        echo "$0: $1 failed (exit $status); reproducers kept in $keep" >&2
        exit 1
    fi
    rm -rf "$work"
    echo "$0: $1: no failure in $3 s"
}

fuzz telemetry_frame_fuzz telemetry "$seconds"
game_seconds=$((seconds / 4 > 5 ? seconds / 4 : 5))
for game in forza f1 assetto; do
    fuzz "${game}_packet_fuzz" "$game" "$game_seconds"
done
