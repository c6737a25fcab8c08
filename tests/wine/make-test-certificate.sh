#!/usr/bin/env bash
# A throw-away code-signing certificate and the CA that issued it, valid for
# two days, for the tests that sign; made anew each time, never kept.
#
#   make-test-certificate.sh DIR [NAME]
#
# Writes DIR/ca.pem, DIR/cert.pem and DIR/key.pem (unencrypted). NAME is the
# signer's common name.
set -euo pipefail
dir=${1:?usage: make-test-certificate.sh DIR [NAME]}
name=${2:-Skerrow test signer}
mkdir -p "$dir"
cat >"$dir/extensions.cnf" <<'END'
[leaf]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
END
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Skerrow test CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
  -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" \
  -keyout "$dir/key.pem" -out "$dir/cert.csr" 2>/dev/null
openssl x509 -req -days 2 -in "$dir/cert.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
  -set_serial "0x$(openssl rand -hex 8)" -extfile "$dir/extensions.cnf" -extensions leaf \
  -out "$dir/cert.pem" 2>/dev/null
rm -f "$dir/ca.key" "$dir/cert.csr" "$dir/extensions.cnf"
