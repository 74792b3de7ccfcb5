#!/bin/bash
# make-page.sh FOLDER: a web page that shows one short video (v.mp4, picture and sound) with
# French subtitles (fr.vtt) and a poster (poster.png), which the downloader's generic
# extractor reads as a video with a "fr" subtitle. page.html names them as they lie beside
# it; failing.html asks for the subtitles through status-429, which always answers 429.
set -eu
cd "$1"
[ -f page.html ] && exit 0
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=160x90:rate=10:duration=2" \
    -f lavfi -i "sine=frequency=440:duration=2" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -b:a 32k -shortest v.mp4
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "color=c=blue:size=64x36" -frames:v 1 poster.png
printf 'WEBVTT\n\n00:00:00.000 --> 00:00:01.500\nBonjour le monde\n' > fr.vtt
page() {
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Ma vidéo</title></head>\n'
    printf '<body><video controls poster="poster.png" src="v.mp4">'
    printf '<track kind="subtitles" src="%s" srclang="fr" label="Français"></video></body></html>\n' "$1"
}
page fr.vtt > page.html
page /status-429/fr.vtt > failing.html
