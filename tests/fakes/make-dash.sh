#!/bin/bash
# make-dash.sh FOLDER [SECONDS [SIZE [KBITS [TITLE]]]]: a DASH presentation made with ffmpeg,
# whose video and audio representations carry the ids 137 and 140, which the downloader's
# generic extractor lists as format codes. KBITS 0 leaves the video bit rate to ffmpeg.
set -eu
cd "$1"
seconds=${2:-4} size=${3:-320x240} rate=${4:-0} title=${5:-manifest}
[ -f "$title.mpd" ] && exit 0
video=(-c:v libx264 -preset ultrafast -pix_fmt yuv420p)
[ "$rate" = 0 ] || video+=(-b:v "${rate}k" -minrate "${rate}k" -maxrate "${rate}k"
    -bufsize "${rate}k" -x264-params nal-hrd=cbr)
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=$size:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" "${video[@]}" -c:a aac -b:a 64k \
    -f dash -seg_duration 2 -adaptation_sets 'id=0,streams=v id=1,streams=a' \
    -init_seg_name 'init-$RepresentationID$.m4s' \
    -media_seg_name 'chunk-$RepresentationID$-$Number%05d$.m4s' "$title.tmp.mpd"
for pair in 0:137 1:140; do
    from=${pair%:*} to=${pair#*:}
    sed -i "s/<Representation id=\"$from\"/<Representation id=\"$to\"/" "$title.tmp.mpd"
    for file in init-"$from".m4s chunk-"$from"-*.m4s; do mv "$file" "${file/-$from/-$to}"; done
done
mv "$title.tmp.mpd" "$title.mpd"
