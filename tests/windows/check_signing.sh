#!/usr/bin/env bash
# check_signing.sh: builds the Windows programs signed with the key of a certificate authority
# made for the run; the three programs and the two in setup.exe's payload verify against it, a
# changed byte does not, a failed signing fails the build, and signing again gives the same bytes.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
dir="$top/build/signed" keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
cd "$keys" || exit 1
passed=0 failed=0
check() { if "${@:2}" >/dev/null 2>&1; then echo "ok   $1" && passed=$((passed + 1)); else echo "FAIL $1" && failed=$((failed + 1)); fi; }
verifies() { osslsigncode verify -CAfile ca.pem -in "$1"; }
build() { cmake --build "$dir" --target setup >"$dir.log" 2>&1; }
# Runs Python code with the bytes of the files named after it in f[0], f[1], ...
with_bytes() { python3 -c "import sys; f = [open(n, 'rb').read() for n in sys.argv[1:]]; $1" "${@:2}"; }

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
programs=(setup.exe uninst.exe KARTOL.exe) && mkdir first && cp "${programs[@]/#/$dir/}" first/
"$dir/host-tools/kartol-payload" extract "$dir/generated/payload.szdd" payload >/dev/null
# One byte of setup.exe's code changed, well inside the signed range.
text=$(i686-w64-mingw32-objdump -h first/setup.exe | awk '$2 == ".text" { print $6 }')
with_bytes "b = bytearray(f[0]); b[$((16#${text:-0} + 64))] ^= 1; open('changed.exe', 'wb').write(b)" first/setup.exe
changed_fails() { ! verifies changed.exe; }
wrong_password_fails() { echo wrong >password && ! build && grep -q "Wrong password" "$dir.log"; }

for program in "${programs[@]}"; do check "$program verifies against the test authority" verifies "first/$program"; done
check "setup.exe embeds the payload that was built" with_bytes "sys.exit(f[1] not in f[0])" first/setup.exe "$dir/generated/payload.szdd"
for program in uninst.exe KARTOL.EXE; do check "$program in the payload verifies" verifies "payload/$program"; done
check "setup.exe with a changed byte of code fails to verify" changed_fails
check "a wrong password fails the build with the signing tool's message" wrong_password_fails
echo secret >password && build
for program in "${programs[@]}"; do check "$program signed again later is the same" cmp "first/$program" "$dir/$program"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
