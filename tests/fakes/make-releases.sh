#!/bin/bash
# make-releases.sh FOLDER DENO-ARCHIVE: releases for the installer's tests, one folder each:
# good/ (the downloader as a zip application made from the system's own, answering with
# today's date, its SHA2-256SUMS signed by a key made here, exported to key.asc), good/nightly/
# (a stand-in answering as a nightly build of 2024), variants that must be refused, and deno/
# (a stand-in runtime in a zip archive with its SHA-256).
set -eu
out=$1
export GNUPGHOME=$out/gnupg
mkdir -p -m 700 "$GNUPGHOME" "$out/app"
gpg --batch --quiet --passphrase '' --quick-gen-key 'Quorvel tests <tests@localhost>' ed25519 sign never
gpg --batch --armor --export >"$out/key.asc"
cp -r /usr/lib/python3/dist-packages/yt_dlp "$out/app/"
find "$out/app" -name __pycache__ -prune -exec rm -rf {} +
sed -i "s/^__version__ = .*/__version__ = '$(date +%Y.%m.%d)'/" "$out/app/yt_dlp/version.py"
printf 'import yt_dlp\nyt_dlp.main()\n' >"$out/app/__main__.py"
release() { # release NAME FILE: the file as "yt-dlp", its sums, signed
    mkdir -p "$out/$1" && cp "$2" "$out/$1/yt-dlp"
    (cd "$out/$1" && sha256sum yt-dlp >SHA2-256SUMS && gpg --batch -q --detach-sign SHA2-256SUMS)
}
python3 -m zipapp "$out/app" -o "$out/yt-dlp" -p '/usr/bin/env python3'
release good "$out/yt-dlp"
release wrong-hash "$out/yt-dlp" && echo x >>"$out/wrong-hash/yt-dlp"
release bad-signature "$out/yt-dlp" && echo >>"$out/bad-signature/SHA2-256SUMS"
printf '#!/bin/sh\nexit 1\n' >"$out/silent" && release not-downloader "$out/silent"
printf '#!/bin/sh\necho 2024.01.01\n' >"$out/old" && release older "$out/old"
printf '#!/bin/sh\necho 2024.01.01.000000\n' >"$out/night" && release good/nightly "$out/night"
mkdir -p "$out/deno" # the stand-in, once run, leaves "ran" two folders above itself
printf '#!/bin/sh\ntouch "${0%%/*}/../../ran"\necho "deno 2.5.0 (stable, release)"\n' >"$out/deno/deno"
(cd "$out/deno" && python3 -m zipfile -c "$2" deno && sha256sum "$2" >"$2.sha256sum" && rm deno)
gpgconf --kill gpg-agent
