#!/usr/bin/env bash
# make_test_certs.sh DIR: the local archive's certificates for HTTPS, made once into DIR with
# openssl (RSA keys: Wine's crypt32 misreads about one ECDSA signature in 128):
#   ca.pem, ca.der        a test certificate authority of this project's own (trust it only
#                         inside a Wine prefix the project made, never on the machine)
#   localhost.pem/.key    for localhost and 127.0.0.1, signed by the CA
#   expired.pem/.key      the same names, signed by the CA, valid only in January 2020
#   wrong_name.pem/.key   for elsewhere.example only, signed by the CA
#   self_signed.pem/.key  for localhost and 127.0.0.1, signed by itself
#   revoked.pem/.key      for localhost and 127.0.0.1, signed by the CA and revoked by it: its
#                         revocation list is ca.crl, which names it and which the certificate
#                         says is at http://127.0.0.1/_crl?ca=ID (the local archive serves it
#                         with --crl; ID, the CA's own, keeps a list cached for another CA apart)
# The private keys stay in DIR (a build tree); nothing here is ever committed. Certificates
# that exist and stay valid for another week are kept, so a CA once trusted stays the one in use.
set -euo pipefail
dir=${1:?usage: make_test_certs.sh DIR}
mkdir -p "$dir"
cd "$dir"
if [[ -f ca.der && -f localhost.pem && -f expired.pem && -f wrong_name.pem && -f self_signed.pem &&
  -f revoked.pem && -f ca.crl ]] &&
  openssl x509 -in localhost.pem -noout -checkend 604800 >/dev/null &&
  openssl x509 -in ca.pem -noout -checkend 604800 >/dev/null; then
  exit 0
fi
rm -rf ca.* localhost.* expired.* wrong_name.* self_signed.* revoked.* ca-db
umask 077

server_ext() {  # names, then more extension lines
  local names=$1
  shift
  printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" "subjectAltName=$names" "subjectKeyIdentifier=hash" \
    "authorityKeyIdentifier=keyid" "$@"
}

# A CA of its own name each time it is made, so that two made on one machine never pass for
# one another in a certificate store.
ca_id=$(openssl rand -hex 4)
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -sha256 \
  -subj "/O=Vexlet archive tests/CN=Vexlet archive test CA $ca_id" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der

sign() {  # name, subjectAltName, then extra options of `openssl ca` (the dates)
  local name=$1 names=$2 cn
  shift 2
  cn=${names#DNS:}
  openssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=${cn%%,*}" \
    2>/dev/null
  server_ext "$names" "${more_ext[@]}" >"$name.ext"
  mkdir -p ca-db
  : >ca-db/index.txt
  cat >ca-db/ca.cnf <<CNF
[ca]
default_ca = test_ca
[test_ca]
database = ca-db/index.txt
new_certs_dir = ca-db
serial = ca-db/serial
crlnumber = ca-db/crlnumber
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
CNF
  openssl rand -hex 16 >ca-db/serial
  openssl ca -batch -notext -config ca-db/ca.cnf -cert ca.pem -keyfile ca.key -in "$name.csr" -out "$name.pem" \
    -extfile "$name.ext" "$@" 2>/dev/null
  rm -f "$name.csr" "$name.ext"
}

more_ext=()
sign localhost "DNS:localhost,IP:127.0.0.1" -days 825
sign expired "DNS:localhost,IP:127.0.0.1" -startdate 20200101000000Z -enddate 20200131000000Z
sign wrong_name "DNS:elsewhere.example" -days 825
more_ext=("crlDistributionPoints=URI:http://127.0.0.1/_crl?ca=$ca_id")
sign revoked "DNS:localhost,IP:127.0.0.1" -days 825
echo 01 >ca-db/crlnumber
openssl ca -config ca-db/ca.cnf -cert ca.pem -keyfile ca.key -revoke revoked.pem 2>/dev/null
openssl ca -config ca-db/ca.cnf -cert ca.pem -keyfile ca.key -gencrl -crldays 3650 -out ca.crl.pem 2>/dev/null
openssl crl -in ca.crl.pem -outform DER -out ca.crl
rm -rf ca-db ca.crl.pem
server_ext "DNS:localhost,IP:127.0.0.1" | grep -v authorityKeyIdentifier >self_signed.ext
openssl req -x509 -newkey rsa:2048 -nodes -keyout self_signed.key -out self_signed.pem -days 825 -sha256 \
  -subj "/CN=localhost" -extensions v3 -config <(printf '[req]\ndistinguished_name=dn\n[dn]\n[v3]\n'; cat self_signed.ext) \
  2>/dev/null
rm -f self_signed.ext
chmod 644 ./*.pem ca.der ca.crl
