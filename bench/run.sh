#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# bench/run.sh: installs what is missing (Google Benchmark included), builds the benchmarks
# in ./build-bench (Release) and runs them all, printing their figures. Nothing is asserted;
# no test or CI stage runs this.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
cd "$QUORVEL_ROOT"

readonly BUILD_DIR="$QUORVEL_ROOT/build-bench"

install_packages "${QUORVEL_PACKAGES[@]}" libbenchmark-dev
use_utf8_locale
# A plain Release build: without the assertions that the warnings-as-errors option adds.
configure_and_build "$BUILD_DIR" Release -DQUORVEL_BUILD_BENCHMARKS=ON -DQUORVEL_BUILD_TESTS=OFF \
    -DQUORVEL_WERROR=OFF -DENABLE_SANITIZERS=OFF

# Other work on the machine shows in every figure: say how busy it was.
say "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg)"

say "Parser and monitor throughput"
# The machine's speed drifts between runs: three repetitions, their median and spread.
"$BUILD_DIR/bench/bench_parsers" --benchmark_counters_tabular=true \
    --benchmark_repetitions=3 --benchmark_display_aggregates_only=true

say "Overhead of a download through Quorvel, responsiveness"
# No figures: the runner's log lines (arguments, removals) and Qt's notes on standard error,
# the window's diagnostics (a first launch, ticks) on standard output. Errors stay.
"$BUILD_DIR/bench/bench_overhead" \
    2> >(grep -v -e '^quorvel: ' -e '^QStandardPaths: ' -e 'propagateSizeHints' >&2) |
    grep --line-buffered -v -e '^[0-9]* - > -\?[0-9]*$' -e "^Les paramètres n'existent pas$"

say "Start-up"
"$BUILD_DIR/bench/bench_startup"

say "The queue through the window on Xvfb"
# Its own script: Xvfb, the xcb platform and a home of its own around bench_queue.
"$QUORVEL_ROOT/bench/queue_on_xvfb.sh"
