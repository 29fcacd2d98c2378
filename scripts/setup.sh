#!/usr/bin/env bash
# Installs what the console needs to build, run and test, from Debian 12's own packages.
# Idempotent: installs only what is missing. Needs root, or sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkgconf
    qt6-base-dev qt6-serialport-dev libgl-dev qt6-translations-l10n
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-noto-cjk fonts-dejavu-core
    xvfb xauth poppler-utils libx11-dev
    clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file
    libmosquitto-dev mosquitto mosquitto-clients openssl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
