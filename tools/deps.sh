#!/usr/bin/env bash
# Installs, with apt-get, the Debian 12 packages Numen needs to build, test and
# benchmark. Only missing packages are installed; sudo is used when not root.
set -euo pipefail
packages=(g++ cmake ninja-build libgtest-dev libgmp-dev libprimesieve-dev libfftw3-dev qt6-base-dev nlohmann-json3-dev libboinc-app-dev dpkg-dev clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
