#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# ./test.sh: installs what is missing, builds Quorvel and its tests in Debug with
# warnings as errors, and runs every test; then runs the core library's tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a short while.
# Exits non-zero when anything fails.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/scripts/setup.sh"
cd "$QUORVEL_ROOT"

# Upper bound for one test executable, in seconds; a hung test fails instead of
# holding the run until CI gives up.
readonly TEST_TIMEOUT=600

# Short bounded fuzz runs: seconds per target.
readonly FUZZ_SECONDS=30

# Packages needed by the test stages only: the fuzz targets are built with clang and
# its libFuzzer runtime (only recommended by clang, so named here); gpg signs the test
# releases of the downloader.
# desktop-file-validate and appstreamcli check the desktop entry and the AppStream file;
# cpack finds the package's library dependencies with dpkg-shlibdeps (dpkg-dev) and file,
# and lintian checks the package.
TEST_PACKAGES=(clang libclang-rt-14-dev clang-format-15 gpg gpg-agent desktop-file-utils appstream
    dpkg-dev file lintian)

# Any sanitizer report ends the process with an error, and so fails its test or fuzz run.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# The sources follow .clang-format; InsertBraces needs clang-format 15 or later.
check_formatting() {
    say "Checking the formatting of the sources (clang-format-15)"
    local -a sources
    mapfile -t sources < <(git -C "$QUORVEL_ROOT" ls-files '*.cpp' '*.h')
    if ((${#sources[@]} > 0)) && [[ -d "$QUORVEL_ROOT/.git" ]]; then
        clang-format-15 --dry-run --Werror "${sources[@]}" \
            || die "some sources are not formatted: run clang-format-15 -i on them"
    fi
}

run_unit_tests() {
    configure_and_build "$QUORVEL_ROOT/build-test" Debug \
        -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_WERROR=ON

    # The tests choose the offscreen platform themselves (ctest sets QT_QPA_PLATFORM),
    # so no display is needed.
    say "Running the tests (ctest, at most ${TEST_TIMEOUT}s per test)"
    ctest --test-dir "$QUORVEL_ROOT/build-test" --output-on-failure --timeout "$TEST_TIMEOUT" -j "$(nproc)" \
        || die "some tests failed (see the output above)"
}

# The desktop entry and the AppStream description are valid, and the Debian package holds
# the executable, the tool folder and the desktop presence, with no error from lintian
# (its warnings are printed, but pass).
check_package() {
    say "Checking the desktop entry, the AppStream file and the package"
    desktop-file-validate "$QUORVEL_ROOT/app/org.quorvel.Quorvel.desktop" \
        || die "the desktop entry is not valid"
    appstreamcli validate --pedantic --no-net "$QUORVEL_ROOT/app/org.quorvel.Quorvel.metainfo.xml" \
        || die "the AppStream file is not valid"
    (cd "$QUORVEL_ROOT/build-test" && cpack -G DEB >/dev/null) || die "cpack failed"
    local contents file
    contents="$(dpkg-deb -c "$QUORVEL_ROOT"/build-test/quorvel_*.deb)"
    for file in ./usr/bin/quorvel ./usr/libexec/quorvel/youtube-dl ./usr/libexec/quorvel/ffmpeg \
        ./usr/share/applications/org.quorvel.Quorvel.desktop \
        ./usr/share/metainfo/org.quorvel.Quorvel.metainfo.xml \
        ./usr/share/icons/hicolor/scalable/apps/quorvel.svg; do
        grep -q " $file" <<<"$contents" || die "the package lacks $file"
    done
    lintian --fail-on error "$QUORVEL_ROOT"/build-test/quorvel_*.deb \
        || die "lintian finds errors in the package (see the output above)"
}

# The core library and its tests built a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer, in a folder of their own; the windows are left out.
run_sanitizer_tests() {
    local build_dir="$QUORVEL_ROOT/build-asan"
    configure_and_build "$build_dir" Debug \
        -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_WERROR=ON -DENABLE_SANITIZERS=ON -DQUORVEL_CORE_ONLY=ON

    say "Running the core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    ctest --test-dir "$build_dir" --output-on-failure --timeout "$TEST_TIMEOUT" -L core -j "$(nproc)" \
        || die "some tests failed under the sanitizers (see the output above)"
}

# Each fuzz target of fuzz/ runs FUZZ_SECONDS on a scratch copy of its seed corpus, so that
# what it learns never lands in the repository. A crash leaves its input in
# build-fuzz/artifacts/ for `./build-fuzz/fuzz/fuzz_<target> <that file>` to replay.
run_fuzzers() {
    local build_dir="$QUORVEL_ROOT/build-fuzz"
    # libFuzzer comes with clang; Qt, built with g++, links through the same C++ ABI.
    CXX=clang++ configure_and_build "$build_dir" RelWithDebInfo \
        -DQUORVEL_BUILD_FUZZERS=ON -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_WERROR=ON \
        -DQUORVEL_CORE_ONLY=ON

    local scratch target log
    scratch="$(mktemp -d)"
    mkdir -p "$build_dir/artifacts"
    for target in formatlisting downloadoutputmonitor; do
        cp -R "$QUORVEL_ROOT/fuzz/corpus/$target" "$scratch/$target"
        log="$build_dir/fuzz_$target.log"
        say "Fuzzing $target for ${FUZZ_SECONDS}s (log: $log)"
        # -timeout: one input that takes this long counts as a hang, and fails the run.
        if ! "$build_dir/fuzz/fuzz_$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 \
            -rss_limit_mb=2048 -artifact_prefix="$build_dir/artifacts/" "$scratch/$target" \
            >"$log" 2>&1; then
            tail -n 40 "$log" >&2
            rm -rf -- "$scratch"
            die "fuzz_$target failed; its input is in $build_dir/artifacts/"
        fi
        grep -m1 '^Done ' "$log" || true
    done
    rm -rf -- "$scratch"
}

install_packages "${QUORVEL_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
use_utf8_locale
check_formatting
run_unit_tests
check_package
run_sanitizer_tests
run_fuzzers
say "All tests passed"
