#!/usr/bin/env bash
# check_signing.sh: builds the Windows programs once more, signed with the code-signing key of a
# certificate authority made for the run, and checks that setup.exe, uninst.exe and KARTOL.exe
# verify against that authority, the programs in setup.exe's payload too; that a changed byte
# breaks the signature; that a failed signing fails the build; and that signing again later
# gives the same bytes.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dir="$top/build/signed" keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
cd "$keys" || exit 1
passed=0 failed=0

check() {
    local name=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "ok   $name" && passed=$((passed + 1)); else echo "FAIL $name" && failed=$((failed + 1)); fi
}
verifies() { osslsigncode verify -CAfile ca.pem -in "$1"; }
fails() { ! "$@"; }
build() { cmake --build "$dir" --target setup >"$dir.log" 2>&1; }

# The authority, and its code-signing certificate in a PKCS#12 file with a password.
{
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Kartol Test CA" -keyout ca.key \
        -out ca.pem -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign
    openssl req -newkey rsa:2048 -nodes -subj "/CN=Kartol Test Publisher" -keyout signer.key -out signer.csr
    printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
    openssl x509 -req -days 1 -in signer.csr -CA ca.pem -CAkey ca.key -extfile signer.ext -out signer.pem
    echo secret >password
    openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout file:password -out signer.p12
} >keys.log 2>&1 || { echo "FAIL the test's keys: $(tail -n 3 keys.log)" && echo "0 passed, 1 failed" && exit 1; }

rm -rf "$dir" && mkdir -p "$dir"
if ! cmake --preset win32 -S "$top" -B "$dir" -DKARTOL_SIGN_PKCS12="$keys/signer.p12" \
    -DKARTOL_SIGN_PASSWORD_FILE="$keys/password" >"$dir.log" 2>&1 || ! build; then
    echo "FAIL the signed build in $dir failed (log: $dir.log)" && echo "0 passed, 1 failed" && exit 1
fi
programs=(setup.exe uninst.exe KARTOL.exe)
mkdir first && cp "${programs[@]/#/$dir/}" first/
"$dir/host-tools/kartol-payload" extract "$dir/generated/payload.szdd" payload >/dev/null
# One byte of setup.exe's code changed, well inside the signed range.
text=$(i686-w64-mingw32-objdump -h first/setup.exe | awk '$2 == ".text" { print $6 }')
at=$((16#${text:-0} + 64)) && cp first/setup.exe changed.exe
byte=$(od -An -tu1 -j "$at" -N1 changed.exe)
printf "\\$(printf %03o $((byte ^ 1)))" | dd of=changed.exe bs=1 seek="$at" conv=notrunc status=none
embeds() { python3 -c 'import sys; a, b = (open(f, "rb").read() for f in sys.argv[1:]); sys.exit(b not in a)' "$@"; }

for program in "${programs[@]}"; do check "$program verifies against the test authority" verifies first/$program; done
check "setup.exe embeds the payload that was built" embeds first/setup.exe "$dir/generated/payload.szdd"
for program in uninst.exe KARTOL.EXE; do check "$program in the payload verifies" verifies payload/$program; done
check "setup.exe with a changed byte of code fails to verify" fails verifies changed.exe
echo wrong >password
check "a wrong password fails the build with the signing tool's message" \
    eval '! build && grep -q "Wrong password" "$dir.log"'
echo secret >password
build
for program in "${programs[@]}"; do check "$program signed again later is the same" cmp first/$program "$dir/$program"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
