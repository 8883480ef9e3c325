#!/usr/bin/env bash
# Installs every package Swivio needs to build, test, benchmark and fuzz, from Debian's
# archive. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build pkg-config make
    clang libclang-rt-14-dev
    qt6-base-dev qt6-multimedia-dev xvfb xauth
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
    libmp3lame-dev libpng-dev libjpeg-dev libgif-dev zlib1g-dev liblzma-dev liblz4-dev
    libagg-dev libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
