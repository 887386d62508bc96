#!/usr/bin/env bash
# Installs the dependencies, builds Corvelin and runs its main job on the
# bundled examples: Hebrew texts of every font kind converted for the
# "RightTo Left" and "Left To Right" ESRI Hebrew settings.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target corvelin-cli

cli=build/cli/corvelin-cli
while IFS='|' read -r kind flags hex note; do
  [[ -z "$kind" || "$kind" == \#* ]] && continue
  # shellcheck disable=SC2086
  rtl=$("$cli" text --kind "$kind" $flags --rtl "${hex// /}")
  # shellcheck disable=SC2086
  ltr=$("$cli" text --kind "$kind" $flags --ltr "${hex// /}")
  printf '%-12s %-28s %-34s rtl %-34s ltr %s\n' "$kind" "$note" "$hex" "$rtl" "$ltr"
done < examples/texts.txt
