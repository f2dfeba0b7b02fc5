#!/usr/bin/env bash
# Builds kavrosa.scr and runs it under Wine. (The host is still being built: for now this
# builds the Windows module's pieces and says so.)
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build-i686 -G Ninja --toolchain cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-i686 -j "$(nproc)"
echo "run.sh: the saver module is not built yet; nothing to run."
