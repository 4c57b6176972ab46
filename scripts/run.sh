#!/usr/bin/env bash
# Sets up the machine, builds Vellicar Notes and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target vellicar-notes
exec build/src/app/vellicar-notes
