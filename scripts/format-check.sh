#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted by the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/setup.sh
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "formatting: all files clean"
