#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Runs on a minimal Debian 12 (no make, no sudo when root) as well as on a
# desktop, where a user without root is asked for sudo.
set -euo pipefail

# librsvg2-bin: rsvg-convert, with which the tests render korvel-cli's SVG pictures.
# libtomlplusplus-dev: the options file beside a configuration.
# libnanoflann-dev: the spatial index that joins labels to points.
# libgdal-dev, libproj-dev: GeoJSON, GeoPackage and shapefiles; coordinate systems.
# librapidxml-dev: LandXML; libpugixml-dev: the tests read it back with another reader.
packages=(cmake make g++ libgtest-dev libgmock-dev qt6-base-dev qt6-svg-dev fonts-dejavu-core
  fonts-dejavu-extra librsvg2-bin libtomlplusplus-dev libnanoflann-dev libgdal-dev libproj-dev
  librapidxml-dev libpugixml-dev)
if [ "${KORVEL_BOOTSTRAP_EXTRA:-}" != "" ]; then
  # shellcheck disable=SC2206
  packages+=(${KORVEL_BOOTSTRAP_EXTRA})
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "bootstrap: run as root, or install sudo, to install: ${missing[*]}" >&2
    exit 1
  fi
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
