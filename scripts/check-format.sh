#!/usr/bin/env bash
# Fails when a C++ source of the project is not as clang-format (.clang-format) writes it;
# `cmake --build build --target format` puts them right.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(find src tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
clang-format --dry-run -Werror "${files[@]}"
echo "check-format: ${#files[@]} files as clang-format writes them"
