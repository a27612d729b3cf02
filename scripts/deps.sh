#!/usr/bin/env bash
# Installs the Debian packages Permutor builds and tests with, when any is missing.
# KiCad 9 (the judge of the tests labelled "kicad") comes from Debian's bookworm-backports suite,
# which is enabled here the way the machine's own Debian entry is written. PERMUTOR_NO_KICAD=1
# skips it (a build without those tests).
set -euo pipefail
packages=(cmake g++ ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          libboost-dev libcli11-dev nlohmann-json3-dev libpugixml-dev libfmt-dev
          qt6-base-dev xvfb xauth)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

missing=($(missing_of "${packages[@]}"))
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

[ "${PERMUTOR_NO_KICAD:-0}" = 1 ] && exit 0
kicad_missing=($(missing_of kicad kicad-demos))
[ ${#kicad_missing[@]} -eq 0 ] && exit 0

# The backports entry: the machine's Debian entry for bookworm, with the suite renamed.
backports=/etc/apt/sources.list.d/permutor-backports.sources
if ! grep -rqs "bookworm-backports" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  entry=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # deb822: the stanza whose Suites list "bookworm" itself.
    entry=$(awk -v RS= '/(^|\n)Suites:([^\n]* )?bookworm( |\n|$)/ { print; exit }' \
              /etc/apt/sources.list.d/debian.sources |
            sed -e 's/^Suites:.*/Suites: bookworm-backports/')
  elif [ -f /etc/apt/sources.list ]; then
    line=$(grep -E '^deb [^#]* bookworm( |$)' /etc/apt/sources.list | head -n1)
    [ -n "$line" ] && entry=$(echo "$line" | sed -E 's/ bookworm( |$)/ bookworm-backports\1/')
    backports=/etc/apt/sources.list.d/permutor-backports.list
  fi
  if [ -z "$entry" ]; then
    echo "deps.sh: no Debian bookworm entry in the apt sources to derive bookworm-backports from" >&2
    exit 1
  fi
  echo "Enabling bookworm-backports in $backports" >&2
  echo "$entry" | $sudo tee "$backports" >/dev/null
fi
echo "Installing KiCad 9 from bookworm-backports: ${kicad_missing[*]}" >&2
$sudo apt-get update -o Dir::Etc::sourcelist="$backports" -o Dir::Etc::sourceparts=- \
  -o APT::Get::List-Cleanup=0 >/dev/null 2>&1 || $sudo apt-get update >/dev/null
$sudo apt-get install -y --no-install-recommends -t bookworm-backports "${kicad_missing[@]}"
