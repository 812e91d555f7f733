#!/usr/bin/env bash
# Installs the named Debian packages that are missing: as root directly, otherwise through
# sudo, otherwise it prints the apt-get command to run and stops.
set -euo pipefail

missing=()
for package in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

command=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "disctrail needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root with: apt-get update && ${command[*]}" >&2
  exit 1
fi

echo "Installing ${missing[*]} from Debian's archive..." >&2
export DEBIAN_FRONTEND=noninteractive
# An install can fail on a stale package list; refresh it once and try again.
"${run[@]}" "${command[@]}" >/dev/null 2>&1 || {
  "${run[@]}" apt-get update -q >/dev/null
  "${run[@]}" "${command[@]}" >/dev/null
}
