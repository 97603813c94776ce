#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Zarnix 4 need.
# Only what is missing is installed; uses sudo when not run as root.
#   install-deps.sh          everything: build, run, tests, benchmarks, packaging
#   install-deps.sh --run    only what building and starting the editor needs (./run)
set -euo pipefail

# Building and running the editor.
packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6svg6
  libgl-dev
  libpng-dev
  shared-mime-info desktop-file-utils
)

# Tests, benchmarks, the comma-decimal locale run and the install and package checks.
test_packages=(
  googletest libgtest-dev libgmock-dev
  libbenchmark-dev
  locales
  xvfb xauth
  pngcheck xclip
  librsvg2-bin
  appstream man-db groff-base dpkg-dev file bash-completion
)

if [ "${1:-}" != "--run" ]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
