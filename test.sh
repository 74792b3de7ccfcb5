#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# ./test.sh: installs what is missing, builds Quorvel and its tests in Debug with
# warnings as errors, and runs every test. Exits non-zero when anything fails.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/scripts/setup.sh"
cd "$QUORVEL_ROOT"

# Upper bound for one test executable, in seconds; a hung test fails instead of
# holding the run until CI gives up.
readonly TEST_TIMEOUT=600

# Packages needed by the test stages only; none yet beyond the build's own.
TEST_PACKAGES=()

run_unit_tests() {
    configure_and_build "$QUORVEL_ROOT/build-test" Debug \
        -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_WERROR=ON

    # The tests choose the offscreen platform themselves (ctest sets QT_QPA_PLATFORM),
    # so no display is needed.
    say "Running the tests (ctest, at most ${TEST_TIMEOUT}s per test)"
    ctest --test-dir "$QUORVEL_ROOT/build-test" --output-on-failure --timeout "$TEST_TIMEOUT" \
        || die "some tests failed (see the output above)"
}

# Stages that check the core library beyond the unit tests: a second build with
# AddressSanitizer and UndefinedBehaviorSanitizer in its own folder, and short bounded
# fuzz runs. Not written yet; their packages go into TEST_PACKAGES.
run_robustness_stages() {
    say "Sanitizer build and fuzz runs: none yet"
}

install_packages "${QUORVEL_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
use_utf8_locale
run_unit_tests
run_robustness_stages
say "All tests passed"
