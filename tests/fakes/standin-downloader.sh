#!/bin/bash
# A stand-in for the downloader, linked into a test's tool folder as "youtube-dl": it answers
# the version question, records its arguments (NUL-separated) in "arguments" beside itself,
# then runs the test's own "behaviour" script from there, if any. Its version is
# STANDIN_VERSION's when set.
here=${0%/*}
[ "$1" = --version ] && { echo "${STANDIN_VERSION:-2023.03.04}"; exit 0; }
printf '%s\0' "$@" >"$here/arguments"
[ -f "$here/behaviour" ] && . "$here/behaviour"
exit 0
