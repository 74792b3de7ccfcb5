#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# bench/queue_on_xvfb.sh [BENCH_QUEUE OPTIONS]: the queue's figures through the real window on
# a real X server: bench_queue under Xvfb with the xcb platform. Installs what is missing,
# builds ./build-bench (Release) when bench_queue is not there, and runs it with a home and
# XDG folders of its own, so that the user's settings and queue are never touched. Asserts
# nothing; options go to bench_queue (--starts, --windows, --idle, --downloads, --size, --rate,
# --lists); 0 skips a measure.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
cd "$QUORVEL_ROOT"

readonly BUILD_DIR="$QUORVEL_ROOT/build-bench"

install_packages "${QUORVEL_PACKAGES[@]}" libbenchmark-dev xvfb xauth
use_utf8_locale
if [[ ! -x "$BUILD_DIR/bench/bench_queue" ]]; then
    configure_and_build "$BUILD_DIR" Release -DQUORVEL_BUILD_BENCHMARKS=ON \
        -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_WERROR=OFF -DENABLE_SANITIZERS=OFF
fi

work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT
mkdir -p "$work/home/.config" "$work/home/.cache" "$work/home/.local/share" "$work/runtime"
chmod 700 "$work/runtime"

say "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
say "The queue through the window on Xvfb"
# bench_queue gives its children homes of their own as well; this one covers the driver and
# Xvfb's own files.
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1920x1080x24" "$BUILD_DIR/bench/bench_queue" "$@"
