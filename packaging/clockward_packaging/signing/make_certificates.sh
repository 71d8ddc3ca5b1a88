#!/usr/bin/env bash
# Makes a signing identity: a CA and a code-signing certificate issued by it, each with a new RSA key.
# Usage: make_certificates.sh CA_NAME SIGNER_NAME CA_CERT CA_KEY SIGNER_CERT SIGNER_KEY   (the files it writes)
# Every file it writes is readable by its owner alone.
# Both certificates are signed with SHA-1: Windows Mobile 6 cannot check a SHA-2 signature.
# Their validity is fixed, from 2000-01-01 (before any clock a reset phone falls back to) to the
# end of 2049 (the last date a certificate writes as UTCTime), so it does not depend on the build's time.
set -euo pipefail
[ $# -eq 6 ] || { echo "usage: make_certificates.sh CA_NAME SIGNER_NAME CA_CERT CA_KEY SIGNER_CERT SIGNER_KEY" >&2; exit 2; }
ca_name=$1 signer_name=$2 ca_cert=$3 ca_key=$4 signer_cert=$5 signer_key=$6
umask 077
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# `openssl ca` is the openssl command that takes a start date; it wants a small database.
touch "$work/index.txt"
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = test_ca
[test_ca]
database = $work/index.txt
new_certs_dir = $work
serial = $work/serial
default_md = sha1
policy = any_name
unique_subject = no
email_in_dn = no
[any_name]
commonName = supplied
[root]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
validity=(-startdate 20000101000000Z -enddate 20491231235959Z)
# A random serial for each certificate, so two test CAs never share issuer and serial.
issue() { openssl rand -hex 16 > "$work/serial"; openssl ca -batch -notext -config "$work/ca.cnf" "${validity[@]}" "$@" 2>"$work/log" ||
              { cat "$work/log" >&2; exit 1; }; }

openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$ca_name" \
    -keyout "$ca_key" -out "$work/ca.csr" 2>/dev/null
issue -selfsign -keyfile "$ca_key" -extensions root -in "$work/ca.csr" -out "$ca_cert"
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$signer_name" \
    -keyout "$signer_key" -out "$work/signer.csr" 2>/dev/null
issue -cert "$ca_cert" -keyfile "$ca_key" -extensions signer -in "$work/signer.csr" -out "$signer_cert"
