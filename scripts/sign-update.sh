#!/usr/bin/env bash
# Signs a release archive for the update feed and prints the feed's <enclosure> for it.
#   scripts/sign-update.sh <archive.tar.gz> <private-key.pem> <download address>
# Make a key pair once with
#   openssl genpkey -algorithm ed25519 -out ostrevane-updates.pem
# and build releases with its public half:
#   OSTREVANE_UPDATE_PUBLIC_KEY=$(openssl pkey -in ostrevane-updates.pem -pubout -outform DER | tail -c 32 | base64)
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 <archive.tar.gz> <private-key.pem> <download address>" >&2; exit 2; }
archive=$1 key=$2 url=$3
signature=$(openssl pkeyutl -sign -inkey "$key" -rawin -in "$archive" | base64 -w 0)
length=$(stat -c %s "$archive")
echo "<enclosure url=\"$url\" length=\"$length\" type=\"application/gzip\" sparkle:edSignature=\"$signature\"/>"
