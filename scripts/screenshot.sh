#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# scripts/screenshot.sh: makes docs/screenshot.png, the README's picture of the main window
# with a listing and a download in its queue: Quorvel (Release build) under Xvfb, listing the tests' local DASH
# presentation served from 127.0.0.1, with settings and files of its own. Run it again when
# the window changes.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
cd "$QUORVEL_ROOT"

install_packages "${QUORVEL_PACKAGES[@]}" xvfb xdotool
use_utf8_locale
configure_and_build "$QUORVEL_ROOT/build-release" Release -DQUORVEL_BUILD_TESTS=OFF

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf -- "$work"
}
trap cleanup EXIT

say "Making and serving the local presentation"
mkdir -p "$work/media" "$work/home"
bash tests/fakes/make-dash.sh "$work/media"
python3 tests/fakes/serve.py "$work/media" >"$work/port" &
pids+=($!)
until [[ -s "$work/port" ]]; do sleep 0.1; done
address="http://127.0.0.1:$(head -n 1 "$work/port")/ok/manifest.mpd"

say "Starting Quorvel under Xvfb"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
pids+=($!)
sleep 1
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
    XDG_CACHE_HOME="$work/home/.cache" DISPLAY="$display" \
    build-release/bin/quorvel "$address" &
pids+=($!)
window="$(DISPLAY="$display" xdotool search --sync --name '^Quorvel$' | head -n 1)"
DISPLAY="$display" xdotool windowfocus --sync "$window" key Return
# The listing of the local presentation takes a few seconds.
sleep 8
# One download through the queue: "Télécharger" (Alt+T), then the folder typed into the
# folder chooser.
mkdir -p "$work/videos"
DISPLAY="$display" xdotool key alt+t
sleep 2
DISPLAY="$display" xdotool type --delay 20 "$work/videos"
DISPLAY="$display" xdotool key Return
sleep 8
eval "$(DISPLAY="$display" xdotool getwindowgeometry --shell "$window")"
ffmpeg -hide_banner -loglevel error -y -f x11grab -video_size "${WIDTH}x${HEIGHT}" \
    -i "$display+$X,$Y" -frames:v 1 docs/screenshot.png
say "Wrote docs/screenshot.png (${WIDTH}x${HEIGHT})"
