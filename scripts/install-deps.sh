#!/usr/bin/env bash
# Installs the Debian packages the build and tests need. Quick when all are present:
# apt-get runs only when something is missing, and then updates its lists once.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libboost-log-dev libboost-thread-dev libboost-program-options-dev libboost-filesystem-dev
  libboost-date-time-dev libboost-system-dev libboost-chrono-dev
  libboost-serialization-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
