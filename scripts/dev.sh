#!/usr/bin/env bash
# Builds Linkarium on Debian 12 and starts it (`run`) or runs the whole test suite
# (`test`). Installs the Debian packages it needs when some are missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev
          libpq-dev qt6-l10n-tools qt6-translations-l10n sqlite3 xvfb xauth fonts-dejavu-core)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}

build() {
    local dir="$1"; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}

case "${1:-}" in
    run)
        install_missing
        build build
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/linkarium
        fi
        exec build/bin/linkarium
        ;;
    test)
        # A real SMTP peer for the mail tests (with certificates openssl makes); reading
        # printed reports back; a PostgreSQL server for the second half of the catalogue tests;
        # the desktop's validators for the installed files; the tools that make and check
        # the Debian package.
        packages+=(python3-aiosmtpd poppler-utils postgresql openssl desktop-file-utils appstream
                   dpkg-dev lintian x11-utils strace clang-format)
        install_missing
        # The gate: every include points down the floors, the core needs no Qt Gui, no file
        # is too long, every source is formatted; then no build may warn.
        ./scripts/check-layers.py
        ./scripts/check-format.sh
        # The benchmark is built too, so that it keeps up with the code it measures.
        build build -DLINKARIUM_BENCH=ON -DLINKARIUM_WERROR=ON
        # A throwaway cluster on a loopback port; without it the server half reports itself
        # skipped.
        cluster=""
        if started="$(./scripts/pg-cluster.sh start)"; then
            cluster="$(sed -n 1p <<<"$started")"
            export LINKARIUM_TEST_PG="$(sed -n 2p <<<"$started")"
            export LINKARIUM_TEST_PG_CA="$(sed -n 3p <<<"$started")"
            trap './scripts/pg-cluster.sh stop "$cluster"' EXIT
        else
            echo "WARNING: no PostgreSQL test server; the PostgreSQL half will be skipped" >&2
        fi
        status=0
        (cd build && ctest --output-on-failure --parallel "$(nproc)") || status=$?
        # The same suite once more with AddressSanitizer, LeakSanitizer and
        # UndefinedBehaviorSanitizer; any report fails the test that caused it.
        build build-asan -DLINKARIUM_SANITIZE=ON -DLINKARIUM_WERROR=ON
        (
            cd build-asan
            export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
            export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
            ctest --output-on-failure --parallel "$(nproc)"
        ) || status=$?
        # The Debian package: lintian, and on a disposable machine install, start, remove.
        ./scripts/check-package.sh || status=$?
        exit "$status"
        ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
