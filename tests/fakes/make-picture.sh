#!/bin/bash
# make-picture.sh FOLDER: picture.png, a small red picture made with ffmpeg, a video's thumbnail.
set -eu
cd "$1"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i color=c=red:s=32x18 -frames:v 1 picture.png
