#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Quorvel developers
# SPDX-License-Identifier: MIT
#
# bench/leave_listing.sh [QUORVEL]: how fast the real window, under Xvfb, lets go of a hostile
# listing: one line of 4 MiB of commas, from a downloader that then ends (the window parses
# it) or hangs. Prints, for each, the time from "Annuler" (Alt+N) until a new listing can be
# started (Alt+L, "Lister les formats", pressed every 50 ms), and from Fichier → Quitter (Ctrl+Q) until the process has ended. QUORVEL is the
# executable to measure (build-release/bin/quorvel, built when missing). Asserts nothing.
set -euo pipefail

# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
cd "$QUORVEL_ROOT"

install_packages "${QUORVEL_PACKAGES[@]}" xvfb xdotool
use_utf8_locale
quorvel="${1:-}"
if [[ -z "$quorvel" ]]; then
    configure_and_build "$QUORVEL_ROOT/build-release" Release -DQUORVEL_BUILD_TESTS=OFF
    quorvel="$QUORVEL_ROOT/build-release/bin/quorvel"
fi

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    pkill -f "$work/" 2>/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT

# The managed downloader's place, which Quorvel runs first: a stand-in that answers the
# version question, notes each listing, writes the hostile line and then ends or hangs.
tools="$work/home/.local/share/Quorvel/Quorvel/tools"
mkdir -p "$tools"
cat >"$tools/youtube-dl" <<EOF
#!/bin/bash
[ "\$1" = --version ] && { echo 2026.12.01; exit 0; }
date +%s.%N >>"$work/listings"
printf 'ID  EXT  RESOLUTION | FILESIZE\n18  mp4  640x360    | '
head -c 4194000 /dev/zero | tr '\0' ,
echo
[ -f "$work/hang" ] && exec sleep 300
exit 0
EOF
chmod +x "$tools/youtube-dl"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
pids+=($!)
sleep 1
export DISPLAY="$display"

now() { date +%s.%N; }
listings() { [[ -f "$work/listings" ]] && wc -l <"$work/listings" || echo 0; }
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f} s')" "$@"; }

# measure hang|parse
measure() {
    rm -f "$work/listings" "$work/hang"
    [[ "$1" == hang ]] && touch "$work/hang"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
        "$quorvel" "http://127.0.0.1:1/video" >/dev/null 2>&1 &
    local app=$!
    local window
    window="$(xdotool search --sync --name '^Quorvel$' | head -n 1)"
    sleep 1
    xdotool windowfocus --sync "$window" key alt+l
    until (($(listings) >= 1)); do sleep 0.05; done
    # The whole line is written and, without a hang, being parsed.
    sleep 1
    local start end
    start="$(now)"
    xdotool key alt+n
    until (($(listings) >= 2)); do
        xdotool key alt+l
        sleep 0.05
        if (($(python3 -c "import sys; print(int(float(sys.argv[2]) - float(sys.argv[1])))" "$start" "$(now)") > 60)); then
            break
        fi
    done
    end="$(now)"
    say "$1: from Annuler to a new listing: $( (($(listings) >= 2)) && elapsed "$start" "$end" || echo 'over 60 s')"
    sleep 1
    start="$(now)"
    xdotool key ctrl+q
    local waited=0
    while kill -0 "$app" 2>/dev/null && ((waited < 600)); do
        sleep 0.05
        waited=$((waited + 1))
    done
    end="$(now)"
    say "$1: from Quitter to the end of the process: $(kill -0 "$app" 2>/dev/null && echo 'over 30 s' || elapsed "$start" "$end")"
    kill -9 "$app" 2>/dev/null || true
    pkill -f "$tools/" 2>/dev/null || true
}

measure parse
measure hang
