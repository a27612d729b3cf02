#!/usr/bin/env bash
# Writes PNG pictures of Permutor's windows on the example project (and on the shared boards where
# a part asks for them) to screenshots/ (git-ignored), under a virtual X display from Xvfb.
# Each part lives in scripts/screenshots.d/NAME.sh and is run with:
#   PERMUTOR_BUILD  the build folder with the Qt targets built
#   SHOTS           the output folder
#   ROOT            the repository's root
# Environment: PERMUTOR_SHOTS_BUILD (default build-shots), PERMUTOR_SHOTS_OUT (default screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
build=${PERMUTOR_SHOTS_BUILD:-build-shots}
out=${PERMUTOR_SHOTS_OUT:-screenshots}
mkdir -p "$out"
log="$out/setup.log"
echo "Setting up: packages and a build in $build (log: $log)"
if ! { scripts/deps.sh && cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DPERMUTOR_TESTS=OFF -DPERMUTOR_QT=ON && cmake --build "$build" -j2; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "screenshots.sh: setting up failed (full log: $log)" >&2
  exit 1
fi
status=0
for part in scripts/screenshots.d/*.sh; do
  [ -e "$part" ] || continue
  echo "== $(basename "$part" .sh)"
  # One display per part, 24-bit colour, large enough for the biggest window.
  if ! PERMUTOR_BUILD="$ROOT/$build" SHOTS="$ROOT/$out" ROOT="$ROOT" \
       xvfb-run -a -s "-screen 0 1920x1200x24" bash "$part"; then
    echo "screenshots.sh: $part failed" >&2
    status=1
  fi
done
echo "== pictures"
ls -1 "$out"/*.png 2>/dev/null || echo "(none)"
exit $status
