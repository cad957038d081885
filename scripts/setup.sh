#!/usr/bin/env bash
# Installs the Debian 12 packages Quillmar Pro needs to build, run and test.
# Does nothing when every package is already there.
set -euo pipefail
PKGS=(g++ cmake ninja-build pkg-config libicu-dev qt6-base-dev libgl-dev
      libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core shared-mime-info xvfb xauth
      curl python3-pyftpdlib clang libclang-rt-14-dev)
if [[ "${1:-}" == "--gui-tools" ]]; then   # screenshots and PDF checks by hand
  PKGS+=(xvfb xauth imagemagick poppler-utils)
fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=
  [[ $(id -u) -ne 0 ]] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
