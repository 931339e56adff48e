#!/usr/bin/env bash
# Runs the telemetry reader's fuzzer for a bounded time on a scratch copy of the seed corpus (so
# the checked-in corpus never grows), and fails when it finds a crash or a mismatch.
# Usage: tests/fuzz/run-fuzz.sh <build-dir> <seconds>   (build dir configured with the linux-fuzz preset)
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 <build-dir> <seconds>" >&2
    exit 2
fi
build_dir=$1
seconds=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fuzzer="$build_dir/tests/fuzz/telemetry_frame_fuzz"
if [[ ! -x "$fuzzer" ]]; then
    echo "$0: no fuzzer at $fuzzer (cmake --build $build_dir --target telemetry_frame_fuzz)" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp "$here/corpus/telemetry/"* "$work/corpus/"

status=0
"$fuzzer" "$work/corpus" -max_total_time="$seconds" -max_len=8191 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" || status=$?

if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" > /dev/null; then
    keep="$build_dir/fuzz-artifacts"
    mkdir -p "$keep"
    cp "$work/artifacts/"* "$keep/" 2>/dev/null || true
    echo "$0: the fuzzer failed (exit $status); reproducers kept in $keep" >&2
    exit 1
fi
echo "$0: no failure in $seconds s"
