#!/usr/bin/env bash
# Makes a throwaway test CA and a code-signing certificate issued by it, for signing test builds.
# Usage: make_test_certificate.sh OUTPUT_DIR   (writes ca.pem, ca.key, signer.pem, signer.key)
# These certificates are trusted by nothing; a phone needs a privileged certificate of its own.
# Both certificates are signed with SHA-1: Windows Mobile 6 cannot check a SHA-2 signature.
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"

openssl req -x509 -newkey rsa:2048 -nodes -sha1 -days 3650 \
    -subj "/CN=Clockward Test CA (untrusted)" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha1 -subj "/CN=Clockward Test Code Signing" \
    -keyout signer.key -out signer.csr 2>/dev/null
cat > signer.ext <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
EXT
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -sha1 -days 3650 \
    -extfile signer.ext -out signer.pem 2>/dev/null
rm -f signer.csr signer.ext
