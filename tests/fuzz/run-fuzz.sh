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
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
quarter=$(($2 / 4 > 5 ? $2 / 4 : 5))
for run in "telemetry_frame_fuzz telemetry $2" "forza_packet_fuzz forza $quarter" \
    "f1_packet_fuzz f1 $quarter" "assetto_packet_fuzz assetto $quarter"; do
    read -r name corpus seconds <<<"$run"
    fuzzer="$build_dir/tests/fuzz/$name"
    if [[ ! -x "$fuzzer" ]]; then
        echo "$0: no fuzzer at $fuzzer (cmake --build $build_dir --target $name)" >&2
        exit 2
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/corpus" "$work/artifacts"
    cp "$here/corpus/$corpus/"* "$work/corpus/"
    status=0
    "$fuzzer" "$work/corpus" -max_total_time="$seconds" -max_len=8191 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" || status=$?
    if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" > /dev/null; then
        keep="$build_dir/fuzz-artifacts"
        mkdir -p "$keep"
        cp "$work/artifacts/"* "$keep/" 2>/dev/null || true
        echo "$0: $name failed (exit $status); reproducers kept in $keep" >&2
        exit 1
    fi
    rm -rf "$work"
    echo "$0: $name: no failure in $seconds s"
done
