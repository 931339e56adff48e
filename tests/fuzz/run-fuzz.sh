#!/usr/bin/env bash
# Runs each fuzzer on a scratch copy of its seed corpus (the checked-in one never grows) and fails
# when one finds a crash or a mismatch: the telemetry reader for the time given, each game reader
# of torvane-adapt for a quarter of it (at least 5 s).
# Usage: tests/fuzz/run-fuzz.sh <build-dir> <seconds>   (a build dir of the linux-fuzz preset)
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: $0 <build-dir> <seconds>" >&2; exit 2; }
quarter=$(($2 / 4 > 5 ? $2 / 4 : 5))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in "telemetry_frame telemetry $2" "forza_packet forza $quarter" "f1_packet f1 $quarter" \
    "assetto_packet assetto $quarter"; do
    read -r name corpus seconds <<<"$run"
    fuzzer="$1/tests/fuzz/${name}_fuzz"
    [[ -x "$fuzzer" ]] || { echo "$0: no fuzzer at $fuzzer " >&2; exit 2; }
    rm -rf "${work:?}"/* && mkdir -p "$work/corpus" "$work/artifacts"
    cp "$(dirname "$0")/corpus/$corpus/"* "$work/corpus/"
    status=0
    "$fuzzer" "$work/corpus" -max_total_time="$seconds" -max_len=8191 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" || status=$?
    if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" > /dev/null; then
        mkdir -p "$1/fuzz-artifacts" && cp "$work/artifacts/"* "$1/fuzz-artifacts/" 2>/dev/null || true
        echo "$0: ${name}_fuzz failed (exit $status); reproducers kept in $1/fuzz-artifacts" >&2
        exit 1
    fi
    echo "$0: ${name}_fuzz: no failure in $seconds s"
done
