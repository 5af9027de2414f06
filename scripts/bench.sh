#!/usr/bin/env bash
# Builds the benchmarks in release mode and measures Linkarium against its targets.
# Catalogues are generated once into bench-data/ (about 300 MB) and reused.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINKARIUM_TESTS=OFF \
      -DLINKARIUM_BENCH=ON >/dev/null
cmake --build build-bench --target bench_linkarium
mkdir -p bench-data
# The server figures need a PostgreSQL server: a throwaway cluster unless one is named.
if [ -z "${LINKARIUM_BENCH_PG:-}" ] && started="$(./scripts/pg-cluster.sh start)"; then
    cluster="$(sed -n 1p <<<"$started")"
    export LINKARIUM_BENCH_PG="$(sed -n 2p <<<"$started")"
    trap './scripts/pg-cluster.sh stop "$cluster"' EXIT
fi
status=0
build-bench/bench/bench_linkarium "$here/bench-data" || status=$?
# Twenty programs at once on the server, at full size (the test command runs a smaller one).
if [ -n "${LINKARIUM_BENCH_PG:-}" ]; then
    cmake --build build-bench --target linkarium_load
    echo -n "server_load_20_clients_x500 "
    LINKARIUM_TEST_PG="$LINKARIUM_BENCH_PG" build-bench/tests/load/linkarium_load --clients 20 \
        --commands 500 --seconds 900 || status=$?
fi
exit "$status"
