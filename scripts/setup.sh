#!/usr/bin/env bash
# Installs the Debian packages Quenrix needs that are not installed yet.
# As root it runs apt-get itself; otherwise it prints the one line to run and fails.
#   setup.sh [LIST]   LIST: a package list file, one name a line (default packages.txt here)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
list=${1:-"$here/packages.txt"}

missing=()
while read -r pkg; do
  [[ -z "$pkg" || "$pkg" == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done < "$list"

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}" < /dev/null
else
  echo "Quenrix needs these Debian packages. Run this, then start again:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi
