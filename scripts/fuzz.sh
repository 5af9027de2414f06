#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer and
# runs each for the given number of seconds (default 600), two at a time. New inputs are merged
# into fuzz/corpus/<target>/ (which the test suite replays); a crash or a broken property
# leaves its input in fuzz/findings/ and makes the script fail.
#   ./scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seconds="${1:-600}"
shift || true

for p in clang libclang-rt-14-dev; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev
        break
    fi
done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLINKARIUM_FUZZ=ON -DLINKARIUM_TESTS=OFF >/dev/null
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    targets=(bookmarks columns commalist connstring filtertext jetsql mask report shortcut smtpreply)
fi
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"

mkdir -p fuzz/findings build-fuzz/logs
run_one() {
    local t="$1" work="build-fuzz/work/$1"
    mkdir -p "$work"
    export ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
    "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="fuzz/findings/$t-" \
        "$work" "fuzz/corpus/$t" >"build-fuzz/logs/$t.log" 2>&1
    local rc=$?
    "build-fuzz/fuzz/fuzz_$t" -merge=1 "fuzz/corpus/$t" "$work" >>"build-fuzz/logs/$t.log" 2>&1 || true
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/logs/$t.log" | tail -1 | grep -o '[0-9]*$' || echo 0)
    printf '%-12s %12s runs  %4s inputs kept  %s\n' "$t" "$runs" \
        "$(ls "fuzz/corpus/$t" | wc -l)" "$([ $rc -eq 0 ] && echo ok || echo "FINDING (see build-fuzz/logs/$t.log)")"
    return $rc
}
export -f run_one
export seconds
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_one {}'
