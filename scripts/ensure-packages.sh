#!/usr/bin/env bash
# Installs the Debian packages that the named commands need (scripts/packages.sh) and that
# are missing: as root directly, otherwise through sudo, otherwise it prints the apt-get
# command to run and stops. On a system without dpkg it lists the packages and what each
# provides, and carries on: the build then says what it cannot find.
#   scripts/ensure-packages.sh COMMAND...      e.g. scripts/ensure-packages.sh test valgrind
set -euo pipefail
source "$(dirname "$0")/packages.sh"

wanted=()
declare -A seen=()
for command in "$@"; do
  if ! declare -p "packages_$command" >/dev/null 2>&1; then
    echo "ensure-packages.sh: no package list for '$command' in scripts/packages.sh" >&2
    exit 2
  fi
  list="packages_${command}[@]"
  for package in "${!list}"; do
    [ -n "${seen[$package]:-}" ] && continue
    seen[$package]=1
    wanted+=("$package")
  done
done

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "This system has no dpkg, so what disctrail needs cannot be checked or installed here." >&2
  echo "On Debian 12 it is these packages; install what provides the same on this system:" >&2
  for package in "${wanted[@]}"; do
    printf '  %-26s %s\n' "$package" "${package_provides[${package%:*}]:-}" >&2
  done
  echo "Going on with the build, which says what it cannot find." >&2
  exit 0
fi

missing=()
for package in "${wanted[@]}"; do
  if ! package_installed "$package"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# A package of another architecture (name:arch) needs that architecture enabled first.
architectures=()
for package in "${missing[@]}"; do
  architecture=${package#*:}
  if [ "$architecture" != "$package" ] && [ "$architecture" != "$(dpkg --print-architecture)" ] &&
     ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    architectures+=("$architecture")
  fi
done

command=(apt-get install -y --no-install-recommends "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "disctrail needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  for architecture in "${architectures[@]}"; do
    echo "  dpkg --add-architecture $architecture" >&2
  done
  echo "  apt-get update && ${command[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
for architecture in "${architectures[@]}"; do
  echo "Enabling Debian's $architecture packages..."
  "${run[@]}" dpkg --add-architecture "$architecture"
done
echo "Installing ${missing[*]} from Debian's archive..."
# An install can fail on a stale package list; refresh it once and try again.
if [ ${#architectures[@]} -gt 0 ] || ! "${run[@]}" "${command[@]}" >/dev/null 2>&1; then
  "${run[@]}" apt-get update -q >/dev/null
  "${run[@]}" "${command[@]}" >/dev/null
fi
