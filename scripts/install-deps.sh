#!/usr/bin/env bash
# Installs the Debian packages the build needs, and those named as arguments,
# only those that are missing.
set -euo pipefail
packages=(cmake ninja-build g++ lld pkg-config qt6-base-dev libzip-dev nettle-dev
          libcurl4-openssl-dev nlohmann-json3-dev libgtest-dev libgmock-dev
          libbenchmark-dev xvfb xauth fonts-dejavu-core fonts-wqy-microhei qt6-qpa-plugins "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
