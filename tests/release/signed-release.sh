#!/bin/sh
# Builds a signed release with a throw-away certificate and a local time-stamp server, then
# checks what a user gets: every program file, the installer and the uninstaller it writes
# verify against that certificate with a time-stamp; chk.sum lists the signed bytes; the
# signed saver under Wine shows its skin and passes its installed-file check after a crash.
# Usage: signed-release.sh SOURCE_DIR WORK_DIR CHECK_EXE [PYTHON]   (inside the Wine test
# environment; WORK_DIR is the signed build folder, incremental across runs)
set -eu
src=$1
work=$2
check=$3
python=${4:-python3}
keys=$work/keys
dist=$work/dist
mkdir -p "$work"
rm -rf "$keys"
mkdir -p "$keys"
tsa_pid=""
install_dir="C:\\zephyl-signed-install"
cleanup() {
  if [ -n "$tsa_pid" ]; then kill "$tsa_pid" 2>/dev/null || true; fi
  rm -rf "$keys"
}
trap cleanup EXIT INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

# The code-signing certificate and its .pfx, with a password of this run.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/key.pem" -out "$keys/cert.pem" -days 2 \
  -subj "/CN=Zephyl Saver test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
ZEPHYL_SIGN_PASSWORD=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
export ZEPHYL_SIGN_PASSWORD
openssl pkcs12 -export -out "$keys/cert.pfx" -inkey "$keys/key.pem" -in "$keys/cert.pem" \
  -passout env:ZEPHYL_SIGN_PASSWORD

# The time-stamp authority: its certificate and a server that answers RFC 3161 queries.
cat > "$keys/tsa.cnf" <<'CNF'
[ req ]
distinguished_name = dn
[ dn ]
[ tsa_ext ]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = ./serial
signer_cert = ./tsa.crt
signer_key = ./tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
CNF
echo 01 > "$keys/serial"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/tsa.key" -out "$keys/tsa.crt" -days 2 \
  -subj "/CN=Zephyl Saver test time-stamps" -config "$keys/tsa.cnf" -extensions tsa_ext 2>/dev/null
"$python" "$src/tests/release/tsa-server.py" "$keys" &
tsa_pid=$!
i=0
until [ -s "$keys/port" ]; do
  i=$((i + 1)); [ $i -gt 600 ] && fail "the time-stamp server did not start"
  sleep 0.1
done

# The signed build: the installable files only (the saver, the launcher, the DLL, the
# content, the installer), into its own dist/.
export ZEPHYL_SIGN_PFX="$keys/cert.pfx"
export ZEPHYL_TIMESTAMP_URL="http://127.0.0.1:$(cat "$keys/port")/"
cmake -S "$src" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DZEPHYL_DIST_DIR="$dist" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "configuring the signed build"; }
grep -q "Signing with" "$work/configure.log" || fail "the build does not sign: $(cat "$work/configure.log")"
cmake --build "$work" --target installer -j "${ZEPHYL_JOBS:-2}" >"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log"; fail "building the signed release"; }

verify() {  # $1: file
  out=$(osslsigncode verify -CAfile "$keys/cert.pem" -TSA-CAfile "$keys/tsa.crt" -in "$1" 2>&1) ||
    fail "$1 does not verify: $out"
  echo "$out" | grep -q "^Signature verification: ok" || fail "$1: $out"
  echo "$out" | grep -q "^Timestamp Server Signature verification: ok" || fail "$1 has no time-stamp: $out"
  echo "$out" | grep -q "Subject: /CN=Zephyl Saver test signing\|Subject: CN=Zephyl Saver test signing" ||
    fail "$1 is not signed with this run's certificate: $out"
  echo "signed and time-stamped: $(basename "$1")"
}
for name in ZephylSaver.scr ZephylSaver.exe fmod.dll ZephylSaverSetup.exe; do
  [ -f "$dist/$name" ] || fail "the signed build made no $name"
done
for f in "$dist"/*.scr "$dist"/*.exe "$dist"/*.dll; do verify "$f"; done
# chk.sum is written after signing: it lists the bytes that are shipped.
(cd "$dist" && sha256sum --quiet -c chk.sum) || fail "chk.sum does not match the signed files"

# The signed saver under Wine.
ZEPHYL_TEST_DIST=$dist WINEPATH="Z:$(echo "$dist" | tr / '\\')" wine "$check" || fail "the signed saver under Wine"

# The uninstaller the installer writes: installed silently, checked, removed again.
prefix_dir=$WINEPREFIX/drive_c/zephyl-signed-install
rm -rf "$prefix_dir"
wine "$dist/ZephylSaverSetup.exe" /S "/D=$install_dir" || fail "the signed installer"
[ -f "$prefix_dir/Uninstall.exe" ] || fail "the installer wrote no Uninstall.exe"
verify "$prefix_dir/Uninstall.exe"
wine "$install_dir\\Uninstall.exe" /S "_?=$install_dir" || fail "the signed uninstaller"
rm -rf "$prefix_dir"
echo "signed release: all checks passed"
