#!/usr/bin/env bash
# Signing the built programs (scripts/sign, what make dll SIGN_... runs) with
# a throw-away certificate, and the check a reviewer makes of a signed file
# against an own build (scripts/compare-signed). Needs no Wine.
#
#   tests/wine/signing.sh DLL RUNNER
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
dll=${1:?usage: $0 DLL RUNNER} runner=${2:?usage: $0 DLL RUNNER}
unset SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASSWORD SIGN_TIMESTAMP_URL

command -v osslsigncode >/dev/null || {
  echo "SKIPPED: osslsigncode is missing (make deps)"
  exit 77
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 143' TERM INT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
verifies() {
  osslsigncode verify -CAfile "$1" -in "$2" >"$work/verify.log" 2>&1
}

"$here/make-test-certificate.sh" "$work/id" || { echo "FAIL: no test certificate"; exit 1; }
"$here/make-test-certificate.sh" "$work/other" "Someone else" || exit 1
before=$(sha256sum "$dll" "$runner")

# 1. PEM certificate and key: both programs signed, SHA-256, accepted by the
# CA that issued the certificate and by no other.
SIGN_CERT=$work/id/cert.pem SIGN_KEY=$work/id/key.pem "$scripts/sign" "$work/pem" "$dll" "$runner" ||
  fail "signing with a PEM certificate and key failed"
for file in "$dll" "$runner"; do
  signed=$work/pem/$(basename "$file")
  if verifies "$work/id/ca.pem" "$signed"; then
    grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" ||
      fail "$signed is not signed with SHA-256"
  else
    fail "$signed does not verify with its CA:"
    cat "$work/verify.log"
  fi
  verifies "$work/other/ca.pem" "$signed" && fail "$signed verifies with a CA that did not issue it"
  "$scripts/pe-checksum" "$signed" || fail "$signed has a wrong checksum"
  # 2. The signature covers the build's bytes, and adds nothing else.
  "$scripts/compare-signed" "$signed" "$file" >/dev/null ||
    fail "$signed is not $file with a signature added"
done
# The DLL needs no padding: without its signature it is the build itself.
osslsigncode remove-signature -in "$work/pem/$(basename "$dll")" -out "$work/stripped.dll" \
  >/dev/null 2>&1 && cmp -s "$work/stripped.dll" "$dll" ||
  fail "the signed DLL without its signature is not the DLL built"
[ "$(sha256sum "$dll" "$runner")" = "$before" ] || fail "signing changed the files it signed"
# The digest the signatures cover is the builds' own (osslsigncode 2.8 and
# later can tell it for an unsigned file).
version=$(osslsigncode --version 2>/dev/null | sed -n '1s/^osslsigncode \([0-9.]*\).*/\1/p')
if [ "$(printf '%s\n' 2.8 "$version" | sort -V | head -n 1)" = 2.8 ]; then
  for file in "$dll" "$runner"; do
    signed=$work/pem/$(basename "$file")
    calculated=$(osslsigncode verify -CAfile "$work/id/ca.pem" -in "$signed" 2>/dev/null |
      sed -n 's/^Calculated message digest *: *\([0-9A-F]*\).*/\1/p')
    own=$("$scripts/authenticode-digest" "$file") || own=""
    [ -n "$calculated" ] && [ "${own%% *}" = "$calculated" ] ||
      fail "the digest of $signed ($calculated) is not that of $file (${own%% *})"
  done
else
  echo "osslsigncode $version: no digest of an unsigned file (extract-data); not compared"
fi

# 3. One byte changed after signing: verification and the comparison fail.
cp "$work/pem/$(basename "$dll")" "$work/changed.dll"
offset=$(($(stat -c %s "$dll") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$work/changed.dll" | tr -d ' ')
printf %b "\\$(printf %03o $(((byte + 1) % 256)))" |
  dd of="$work/changed.dll" bs=1 seek="$offset" conv=notrunc 2>/dev/null
cmp -s "$work/changed.dll" "$work/pem/$(basename "$dll")" && fail "the byte did not change"
verifies "$work/id/ca.pem" "$work/changed.dll" && fail "a DLL changed after signing verifies"
"$scripts/compare-signed" "$work/changed.dll" "$dll" 2>/dev/null &&
  fail "a DLL changed after signing compares as the build"
# An unsigned file is no signed build.
"$scripts/compare-signed" "$dll" "$dll" 2>/dev/null && fail "an unsigned DLL compares as signed"

# 4. PKCS#12 with a password: signed; with a wrong one: nothing signed, and
# no earlier signed copy left behind.
openssl pkcs12 -export -in "$work/id/cert.pem" -inkey "$work/id/key.pem" -passout pass:test-pass \
  -out "$work/id/id.p12" 2>/dev/null || fail "cannot make the PKCS#12 file"
SIGN_PKCS12=$work/id/id.p12 SIGN_PASSWORD=test-pass "$scripts/sign" "$work/p12" "$dll" ||
  fail "signing with a PKCS#12 file failed"
verifies "$work/id/ca.pem" "$work/p12/$(basename "$dll")" ||
  fail "the DLL signed from the PKCS#12 file does not verify"
SIGN_PKCS12=$work/id/id.p12 SIGN_PASSWORD=wrong "$scripts/sign" "$work/p12" "$dll" \
  >"$work/sign.log" 2>&1 </dev/null && fail "signing with a wrong password succeeded"
[ -e "$work/p12/$(basename "$dll")" ] && fail "a signing that failed left a signed DLL"

# 5. A certificate without its key (or both kinds at once) is refused.
SIGN_CERT=$work/id/cert.pem "$scripts/sign" "$work/half" "$dll" 2>/dev/null
[ $? -eq 2 ] || fail "a certificate without its key was not refused"
SIGN_CERT=$work/id/cert.pem SIGN_KEY=$work/id/key.pem SIGN_PKCS12=$work/id/id.p12 \
  "$scripts/sign" "$work/half" "$dll" 2>/dev/null
[ $? -eq 2 ] || fail "PEM files and a PKCS#12 file together were not refused"
[ -z "$(ls -A "$work/half" 2>/dev/null)" ] || fail "a refused signing wrote files"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "signing: all checks passed"
