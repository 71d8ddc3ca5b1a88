#!/usr/bin/env bash
# Signs a PE image or a cabinet with an Authenticode SHA-1 signature, the only digest Windows
# Mobile 6 validates: an image with osslsigncode, a cabinet (MSCF) with our own sign_cab.py, which
# signs the per-folder reserve osslsigncode refuses. Writes OUT whole or not at all, and says in one
# line why it could not.
#
# Usage: sign_authenticode.sh IN OUT --pfx FILE [--time UNIX_TIME]
#        sign_authenticode.sh IN OUT --cert FILE --key FILE [--ac EXTRA_CERTS] [--time UNIX_TIME]
# --time fixes the signing time (reproducible builds); otherwise it is the time of signing.
# The password of a PFX or of an encrypted key is never an argument (it would show in the process
# list): it comes from the file named by CLOCKWARD_SIGN_PASSWORD_FILE, or from the environment
# variable CLOCKWARD_SIGN_PASSWORD, read here at build time.
set -euo pipefail

fail() { echo "sign: $*" >&2; exit 1; }

[ $# -ge 2 ] || fail "usage: sign_authenticode.sh IN OUT (--pfx FILE | --cert FILE --key FILE [--ac FILE])"
in=$1 out=$2
shift 2
rm -f "$out"
pfx="" cert="" key="" extra="" when=""
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] && [ -n "$2" ] || fail "$1 needs a value"
    case $1 in
        --pfx) pfx=$2 ;;
        --cert) cert=$2 ;;
        --key) key=$2 ;;
        --ac) extra=$2 ;;
        --time) when=$2 ;;
        *) fail "unknown option $1" ;;
    esac
    shift 2
done

[ -f "$in" ] && [ -r "$in" ] || fail "cannot read $in: nothing to sign"
cabinet=false
[ "$(head -c 4 "$in" | tr -d '\0')" = MSCF ] && cabinet=true
$cabinet || command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (apt-get install osslsigncode)"

work=$(mktemp -d)
partial="$out.partial"
trap 'rm -rf "$work" "$partial"' EXIT
umask 077

# The password reaches openssl and the signer only through a file of our own.
password=$work/password
if [ -n "${CLOCKWARD_SIGN_PASSWORD_FILE:-}" ]; then
    [ -r "$CLOCKWARD_SIGN_PASSWORD_FILE" ] || fail "cannot read the password file $CLOCKWARD_SIGN_PASSWORD_FILE"
    head -n 1 "$CLOCKWARD_SIGN_PASSWORD_FILE" | tr -d '\r\n' > "$password"
else
    printf '%s' "${CLOCKWARD_SIGN_PASSWORD:-}" > "$password"
fi
# openssl cannot read an empty password file; an unencrypted key needs no password at all.
passin=(-passin "file:$password") readpass=(-readpass "$password") password_file=(--password-file "$password")
[ -s "$password" ] || passin=(-passin pass:) readpass=() password_file=()

# OpenSSL 3 reads PFX files with old ciphers (RC2, as older Windows tools write) only with -legacy.
pkcs12() { openssl pkcs12 "$@" 2>/dev/null || openssl pkcs12 -legacy "$@" 2>/dev/null; }

chain=$work/chain.pem
if [ -n "$pfx" ]; then
    [ -f "$pfx" ] && [ -r "$pfx" ] || fail "cannot read the PFX file $pfx"
    pkcs12 -in "$pfx" "${passin[@]}" -nokeys -out "$chain" ||
        fail "cannot open the PFX file $pfx: wrong password (CLOCKWARD_SIGN_PASSWORD or CLOCKWARD_SIGN_PASSWORD_FILE) or not a PKCS#12 file"
    with=(-pkcs12 "$pfx" ${readpass[@]+"${readpass[@]}"})
    cab_with=(--pfx "$pfx")
elif [ -n "$cert" ] && [ -n "$key" ]; then
    [ -f "$cert" ] && [ -r "$cert" ] || fail "cannot read the certificate $cert"
    [ -f "$key" ] && [ -r "$key" ] || fail "cannot read the key $key"
    openssl pkey -in "$key" "${passin[@]}" -pubout -out "$work/key.pub" 2>/dev/null ||
        fail "cannot read the key $key: not a private key, or encrypted with another password"
    openssl x509 -in "$cert" -noout -pubkey -out "$work/cert.pub" 2>/dev/null ||
        fail "cannot read the certificate $cert: not a PEM certificate"
    cmp -s "$work/key.pub" "$work/cert.pub" || fail "the key $key does not belong to the certificate $cert"
    cat "$cert" ${extra:+"$extra"} > "$chain"
    with=(-certs "$cert" -key "$key" ${readpass[@]+"${readpass[@]}"} ${extra:+-ac "$extra"})
    cab_with=(--cert "$cert" --key "$key" ${extra:+--ac "$extra"})
else
    fail "give --pfx, or --cert with --key"
fi

# The phone checks only RSA signatures over SHA-1 or MD5 (PKCS#1 v1.5); a SHA-2 or RSASSA-PSS
# signature anywhere in the chain fails there. The user's chain is used as given, with a warning.
algorithms=$(openssl crl2pkcs7 -nocrl -certfile "$chain" 2>/dev/null | openssl pkcs7 -print_certs -text -noout 2>/dev/null |
             sed -n 's/^ *Signature Algorithm: *\([^ ]*\) *$/\1/p' | sort -u)
[ -n "$algorithms" ] || fail "no certificate found in ${pfx:-$cert}"
if grep -qvxE 'sha1WithRSAEncryption|md5WithRSAEncryption' <<<"$algorithms"; then
    echo "sign: warning: the certificate chain of ${pfx:-$cert} has a signature other than SHA-1 or MD5 with RSA ($(tr '\n' ' ' <<<"$algorithms" | sed 's/ $//')); Windows Mobile 6 validates only those" >&2
fi

name=Clockward
if $cabinet; then
    if ! /usr/bin/python3 "$(dirname "$0")/sign_cab.py" "$in" "$partial" "${cab_with[@]}" \
            ${password_file[@]+"${password_file[@]}"} ${when:+--time "$when"} --name "$name" 2>"$work/log"; then
        reason=$(grep -v '^$' "$work/log" | tail -n 1)
        fail "${reason#sign: }"
    fi
elif ! osslsigncode sign -h sha1 -n "$name" "${with[@]}" ${when:+-time "$when"} -in "$in" -out "$partial" >"$work/log" 2>&1; then
    fail "osslsigncode could not sign $in: $(grep -v '^$' "$work/log" | tail -n 1)"
fi
chmod 644 "$partial"
mv "$partial" "$out"
