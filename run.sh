#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# ./run.sh [ADDRESS]: installs what is missing, builds Quorvel in Release and starts it.
# An address given here pre-fills the address field.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/scripts/setup.sh"
cd "$QUORVEL_ROOT"

install_packages "${QUORVEL_PACKAGES[@]}"
use_utf8_locale
configure_and_build "$QUORVEL_ROOT/build-release" Release -DQUORVEL_BUILD_TESTS=OFF

executable="$QUORVEL_ROOT/build-release/bin/quorvel"
[[ -x "$executable" ]] || die "the build made no $executable"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    say "No display found: the window may not open (try: xvfb-run -a ./run.sh)"
fi

say "Starting $executable $*"
exec "$executable" "$@"
