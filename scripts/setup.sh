#!/usr/bin/env bash
# Installs the Debian packages Zentrio needs to build, test and run, only when
# some are missing. Needs root (or sudo) the first time; afterwards it is a no-op.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libtag1-dev libxxhash-dev libcli11-dev libmimalloc-dev
    dbus dbus-x11
    xvfb xauth xdotool at-spi2-core
    fonts-liberation fonts-dejavu-core
    clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev file mandoc
    exfatprogs exfat-fuse
    fuse3 libfuse3-dev
)

# Extra tools for docs/screenshots.sh, which drives the real window under Xvfb.
if [ "${1:-}" = "--docs" ]; then
    packages+=(imagemagick bc)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        echo "setup: these packages are missing and this is not root: ${missing[*]}" >&2
        echo "setup: install them with your package manager, then run this again." >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
