#!/usr/bin/env bash
# The DLL and the runner signed (scripts/sign, a throw-away certificate) still
# load and work: one machine-wide installation and removal through the signed
# runner and DLL, judged by the registry, as end-to-end.sh does.
#
# usage: signed-dll.sh --arch win32|win64 --prefix DIR --runner EXE --dll DLL
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/runner-arguments.sh"
unset SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASSWORD SIGN_TIMESTAMP_URL

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/make-test-certificate.sh" "$work/id" &&
  SIGN_CERT=$work/id/cert.pem SIGN_KEY=$work/id/key.pem \
    "$here/../../scripts/sign" "$work/signed" "$dll" "$runner" ||
  { echo "FAIL: cannot sign the DLL and the runner"; exit 1; }
"$here/end-to-end.sh" --arch "$arch" --prefix "$prefix" --only machine-wide \
  --runner "$work/signed/$(basename "$runner")" --dll "$work/signed/$(basename "$dll")"
