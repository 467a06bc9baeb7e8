#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on its default database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev --target vantorel-inventory
exec ./build/dev/src/app/vantorel-inventory "$@"
