# shellcheck shell=bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# Shared set-up for run.sh and test.sh: installs the Debian packages that are missing,
# then configures and builds one build folder. Sourced, never run on its own.

# The packages a fresh Debian 12 machine needs to build, test and run Quorvel.
# libgl-dev: the CMake configuration of Qt6Gui looks for the OpenGL headers.
# python3: runs the managed downloader and unpacks deno; the tests serve media with it.
# gpgv: verifies the signature of a downloader release before it is installed.
# qt6-translations-l10n: Qt's own dialogs and menus in French.
# libqt6svg6: Qt's SVG plugins, which draw the window icon.
# libqt6sql6-sqlite: Qt's SQLite driver, which keeps the queue of downloads.
# shellcheck disable=SC2034 # used by the scripts that source this file
QUORVEL_PACKAGES=(
    cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev
    yt-dlp ffmpeg python3 gpgv qt6-translations-l10n libqt6svg6
    libqt6sql6-sqlite
)

QUORVEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

say() {
    printf '==> %s\n' "$*"
}

die() {
    printf 'error: %s\n' "$*" >&2
    exit 1
}

# Prints the packages of the arguments that dpkg does not list as installed.
missing_packages() {
    local package status
    for package in "$@"; do
        status="$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)"
        if [[ "$status" != installed ]]; then
            printf '%s\n' "$package"
        fi
    done
}

# Installs, through apt-get, those of the given packages that are missing.
install_packages() {
    if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
        say "No dpkg/apt-get here: assuming these are installed: $*"
        return 0
    fi

    local missing
    mapfile -t missing < <(missing_packages "$@")
    if ((${#missing[@]} == 0)); then
        say "All needed packages are installed"
        return 0
    fi

    local -a asroot=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null 2>&1 \
            || die "missing packages: ${missing[*]}; run as root or install sudo, or install them yourself"
        asroot=(sudo)
    fi

    # No questions: CI runs without a terminal. Passed through env, as sudo drops it.
    asroot+=(env DEBIAN_FRONTEND=noninteractive)
    say "Installing missing packages: ${missing[*]}"
    say "apt-get update"
    "${asroot[@]}" apt-get update \
        || die "apt-get update failed: check the network and the APT sources"
    "${asroot[@]}" apt-get install -y --no-install-recommends "${missing[@]}" \
        || die "could not install: ${missing[*]} (are the Debian 12 main sources enabled?)"

    mapfile -t missing < <(missing_packages "$@")
    ((${#missing[@]} == 0)) || die "still missing after apt-get: ${missing[*]}"
}

# The downloader and ffmpeg write file names and progress in the locale's encoding:
# make sure it is UTF-8, as Quorvel reads their output as UTF-8.
use_utf8_locale() {
    local charmap
    charmap="$(locale charmap 2>/dev/null || true)"
    if [[ "$charmap" != UTF-8 ]]; then
        say "Locale charset is '${charmap:-unknown}': using C.UTF-8"
        export LC_ALL=C.UTF-8
    fi
}

# configure_and_build <build folder> <build type> [cmake options...]
# Idempotent: an existing folder is reconfigured and only what changed is rebuilt.
configure_and_build() {
    local build_dir="$1" build_type="$2"
    shift 2

    local cache="$build_dir/CMakeCache.txt"
    if [[ -f "$cache" ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
        die "$build_dir was configured with another generator than Ninja; remove it and run again"
    fi

    say "Configuring $build_dir ($build_type)"
    cmake -S "$QUORVEL_ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "$@" \
        || die "configuring $build_dir failed"

    say "Building $build_dir with $(nproc) jobs"
    cmake --build "$build_dir" -j "$(nproc)" || die "building $build_dir failed"
}
