#!/usr/bin/env bash
# Makes a throwaway code-signing test CA and its leaf certificates in the given
# folder (a build tree's testca/), for signing the kit's modules at build time.
# Keys never leave that folder; every build tree makes its own, unless
# TQN_TEST_CA names a folder this script made earlier: then that CA and its
# certificates are copied (two builds signing with one CA give the same bytes).
#
#   make-test-certs.sh <folder>
#
# Per signer <id>: <id>.key, <id>.pem (certificate), <id>-chain.pem (certificate
# then CA, as osslsigncode's -certs wants it). The CA: ca.key, ca.pem, ca.der.
# "selfsigned" carries the first accepted name but chains to nothing.
set -eu
out=${1:?folder}
from=
if [ -n "${TQN_TEST_CA:-}" ]; then from=$(cd "$TQN_TEST_CA" && pwd); fi
mkdir -p "$out"
umask 077
cd "$out"

# id|common name
signers='brennick|Brennick Corp.
halvreth|Halvreth Corp.
brennick_upper|BRENNICK CORP.
halvreth_lower|halvreth corp.
brennick_nodot|Brennick Corp
brennick_labs|Brennick Corp. Labs
thirdparty|Orrin Tools Ltd.'

days=3650

if [ -n "$from" ]; then
  [ "$from" != "$(pwd)" ] || { echo "make-test-certs: TQN_TEST_CA is the output folder" >&2; exit 1; }
  for id in ca $(cut -d'|' -f1 <<<"$signers") selfsigned; do
    files="$id.key $id.pem"
    [ "$id" = ca ] && files="$files ca.der" || files="$files $id-chain.pem"
    for f in $files; do
      [ -f "$from/$f" ] || { echo "make-test-certs: $from/$f is missing" >&2; exit 1; }
      cp "$from/$f" "$f"
    done
  done
  chmod 600 ./*.key
  chmod 644 ./*.pem ca.der
  date -u +%FT%TZ >stamp
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

serial() { printf '0x%s' "$(openssl rand -hex 8 | sed 's/^./4/')"; }

cat >"$work/ca.ext" <<'EXT'
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign,digitalSignature
subjectKeyIdentifier=hash
EXT
cat >"$work/leaf.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EXT
cat >"$work/self.ext" <<'EXT'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
EXT

newkey() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }

# The CA.
newkey ca.key
openssl req -new -key ca.key -subj "/O=Launch Tests/CN=Launch Test Signing CA" -out "$work/ca.csr"
openssl x509 -req -in "$work/ca.csr" -signkey ca.key -days "$days" -set_serial "$(serial)" \
  -extfile "$work/ca.ext" -out ca.pem 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der

# Leaves issued by the CA.
while IFS='|' read -r id cn; do
  newkey "$id.key"
  openssl req -new -key "$id.key" -subj "/CN=$cn" -out "$work/$id.csr"
  openssl x509 -req -in "$work/$id.csr" -CA ca.pem -CAkey ca.key -days "$days" \
    -set_serial "$(serial)" -extfile "$work/leaf.ext" -out "$id.pem" 2>/dev/null
  cat "$id.pem" ca.pem >"$id-chain.pem"
done <<<"$signers"

# Self-signed, with an accepted name: only its chain is wrong.
newkey selfsigned.key
openssl req -new -key selfsigned.key -subj "/CN=Brennick Corp." -out "$work/selfsigned.csr"
openssl x509 -req -in "$work/selfsigned.csr" -signkey selfsigned.key -days "$days" \
  -set_serial "$(serial)" -extfile "$work/self.ext" -out selfsigned.pem 2>/dev/null
cp selfsigned.pem selfsigned-chain.pem

# Everyone may read the certificates; the keys stay private to the owner.
chmod 644 ./*.pem ca.der
date -u +%FT%TZ >stamp
