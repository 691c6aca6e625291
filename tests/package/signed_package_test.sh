#!/usr/bin/env bash
# A package signed after it was built: the certificate table goes after the
# payload block, the signature verifies, and the payload still extracts to
# exactly its length with its checksum. Run by CTest with:
#   signed_package_test.sh WINE_RUN VTPACK TEMPLATE PROBE BASE_DOCUMENT
# It uses the host's openssl (a throw-away certificate) and osslsigncode.
set -euo pipefail
wine_run=$1 vtpack=$2 template=$3 probe=$4 base=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/vtpkg-sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "${1//\//\\}"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
  -days 2 -subj "/CN=Vantorel package test" >/dev/null 2>&1 || fail "openssl"

# The module's last byte lies 500 bytes before the end of the second
# 81,920-byte block of the extraction, so the certificate table shares it.
length=$((2 * 81920 - 500))
head -c "$length" /dev/urandom >"$work/samplegrid.ocx"
"$wine_run" "$(win "$vtpack")" "$(win "$template")" "$(win "$base")" \
  "$(win "$work/samplegrid.ocx")" "$(win "$work/Setup.exe")" \
  'Vantorel-Init.InstallGUID={6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}' >"$work/pack.log" 2>&1 ||
  { cat "$work/pack.log"; fail "vtpack"; }
read -r image checksum payload < <(sed -nE 's/^image_length=([0-9]+) checksum=([0-9A-F]{8}) payload_length=([0-9]+).*/\1 \2 \3/p' "$work/pack.log")
[ "$payload" = "$length" ] || fail "payload_length $payload"
unsigned_size=$(stat -c %s "$work/Setup.exe")
[ "$unsigned_size" = $((image + 4 + length)) ] || fail "unsigned size $unsigned_size"

osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Vantorel package test" \
  -in "$work/Setup.exe" -out "$work/Signed.exe" >"$work/sign.log" 2>&1 ||
  { cat "$work/sign.log"; fail "osslsigncode sign"; }
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/Signed.exe" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log"; fail "osslsigncode verify"; }
signed_size=$(stat -c %s "$work/Signed.exe")
[ "$signed_size" -gt $((unsigned_size + 1000)) ] || fail "no certificate table ($signed_size)"
cmp -s <(tail -c +$((image + 1)) "$work/Setup.exe") \
  <(tail -c +$((image + 1)) "$work/Signed.exe" | head -c $((4 + length))) ||
  fail "payload block moved or changed by signing"

"$wine_run" "$(win "$probe")" extract "$(win "$work/Signed.exe")" "$image" \
  "$(win "$work/QOR.ocx")" >"$work/probe.log" 2>&1 || { cat "$work/probe.log"; fail "extract"; }
grep -q "^status=0 checksum=$checksum length=$length" "$work/probe.log" ||
  { cat "$work/probe.log"; fail "extracted payload"; }
cmp -s "$work/QOR.ocx" "$work/samplegrid.ocx" || fail "extracted bytes differ"

# One altered payload byte: the same length, another checksum.
cp "$work/Signed.exe" "$work/Altered.exe"
at=$((image + 4 + 1000))
byte=$(od -An -tu1 -j "$at" -N1 "$work/Altered.exe" | tr -d ' ')
printf "\\x$(printf %02x $((byte ^ 1)))" | dd of="$work/Altered.exe" bs=1 seek="$at" conv=notrunc status=none
"$wine_run" "$(win "$probe")" extract "$(win "$work/Altered.exe")" "$image" \
  "$(win "$work/QOR.ocx")" >"$work/probe.log" 2>&1 || true
grep -q "^status=0 checksum=" "$work/probe.log" || { cat "$work/probe.log"; fail "altered"; }
grep -q "checksum=$checksum" "$work/probe.log" && fail "altered byte kept the checksum"

echo "signed package: image $image, payload $length, signed size $signed_size: ok"
