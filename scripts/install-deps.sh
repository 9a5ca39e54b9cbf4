#!/usr/bin/env bash
# Installs the Debian packages that the builds and the tests need, and makes 32-bit x86
# programs runnable where the kernel cannot execute them itself (Wine's 32-bit loader is one).
#
#   install-deps.sh          everything: both builds and every test, Wine included
#   install-deps.sh native   only what the native build and its tests need
#
# Idempotent and quick when everything is there: apt runs only when a package is missing.
# Runs as root, or through sudo. Quiet on success; on failure it names the step and the log.
set -euo pipefail

group=${1:-all}
log=${KARTOL_DEPS_LOG:-/tmp/kartol-install-deps.log}

native_packages=(
    cmake ninja-build g++ libgtest-dev python3
    # windres compiles the resources of both builds.
    binutils-mingw-w64-i686
    # The terminal front end's end-to-end test.
    tmux
    # The SZDD codec's interoperability tests and benchmarks: the format's other compressor and
    # expanders, and the timer.
    mscompress libmspack-dev hyperfine
    # The fuzz targets: clang with libFuzzer and the sanitizers' runtime.
    clang
    # Checks the desktop menu entries of the native program manager.
    desktop-file-utils
)
windows_packages=(
    g++-mingw-w64-i686-win32 python3-pefile
    wine wine64 wine32:i386
    xvfb xauth xdotool x11-utils imagemagick
    # Signs the Windows programs when the vendor names a key; the signing test's certificates.
    osslsigncode openssl
    # Runs i386 code on hosts whose kernel lacks IA-32 emulation.
    qemu-user-static binfmt-support
    # The locales that Wine takes its ANSI code page from in the Wine scenarios.
    locales
)
# The scenarios run under German (1252), Japanese (932) and Russian (1251).
wine_locales=(de_DE.UTF-8 ja_JP.UTF-8 ru_RU.UTF-8)

case $group in
    native) packages=("${native_packages[@]}") ;;
    all) packages=("${native_packages[@]}" "${windows_packages[@]}") ;;
    *)
        echo "usage: $0 [native|all]" >&2
        exit 2
        ;;
esac

fail() {
    echo "install-deps: $1 (log: $log)" >&2
    exit 1
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null; then
        sudo "$@"
    else
        fail "needs root or sudo for: $*"
    fi
}

missing_packages() {
    local package
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null)" != "ii " ]; then
            echo "$package"
        fi
    done
}

install_packages() {
    local missing
    mapfile -t missing < <(missing_packages "${packages[@]}")
    if [ "${#missing[@]}" -eq 0 ]; then
        return
    fi
    if [ "$group" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386 >>"$log" 2>&1 || fail "dpkg --add-architecture i386 failed"
    fi
    # A mirror in the middle of a sync fails one index while the others are fine: go on with
    # what was fetched (and the lists from before), and let the install say whether it matters.
    if ! apt_run update; then
        echo "install-deps: warning: apt-get update failed for some index; going on with the others" >&2
        apt_reasons
    fi
    if apt_run install -y --no-install-recommends "${missing[@]}"; then
        return
    fi
    # When one architecture's index is newer than the other's, a multi-arch library's i386 and
    # amd64 versions disagree and neither can be installed. The release itself has one version
    # of each for both architectures: try once more with it pinned.
    if grep -qE ':i386 : (Depends|Breaks): ' "$apt_out"; then
        local release
        release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        if [ -n "$release" ]; then
            echo "install-deps: the i386 and amd64 versions disagree; retrying with release $release pinned" >&2
            if apt_run install -y --no-install-recommends -t "$release" "${missing[@]}"; then
                return
            fi
        fi
    fi
    apt_reasons
    echo "install-deps: remedy: run 'apt-get update' again in a few minutes (a mirror may be mid-sync), then rerun this script" >&2
    fail "apt-get install failed: ${missing[*]}"
}

# The last apt run's own output, kept apart from the log so that its reasons can be shown.
apt_out=$(mktemp)
trap 'rm -f "$apt_out"' EXIT

apt_run() {
    local status=0
    as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" >"$apt_out" 2>&1 || status=$?
    cat "$apt_out" >>"$log"
    return $status
}

# Prints apt's reason lines: its errors, warnings and unmet dependencies.
apt_reasons() {
    grep -E '^(E|W): |Depends: |Breaks: ' "$apt_out" | head -n 20 | sed 's/^/install-deps:   /' >&2 || true
}

# The i386 dynamic loader answers --version when the kernel can run i386 code at all.
i386_runs() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Hands i386 ELF executables to qemu-user. The F flag opens the emulator now, so the entry
# also works inside other mount namespaces and chroots.
readonly binfmt_dir=/proc/sys/fs/binfmt_misc
readonly qemu_i386_entry=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

register_qemu_i386() {
    if i386_runs; then
        return
    fi
    if [ ! -e "$binfmt_dir/register" ]; then
        as_root mount -t binfmt_misc binfmt_misc "$binfmt_dir" >>"$log" 2>&1 ||
            fail "cannot mount binfmt_misc"
    fi
    if [ -e "$binfmt_dir/qemu-i386" ]; then
        as_root sh -c "echo 1 > $binfmt_dir/qemu-i386" >>"$log" 2>&1 ||
            fail "cannot enable the qemu-i386 binfmt entry"
    else
        as_root sh -c "printf '%s\n' '$qemu_i386_entry' > $binfmt_dir/register" >>"$log" 2>&1 ||
            fail "cannot register qemu-i386 with binfmt_misc"
    fi
    i386_runs || fail "i386 programs still do not run after registering qemu-i386"
}

# Lists the locales that `locale -a` lacks; it names them normalised, "ja_JP.utf8".
missing_locales() {
    local available name
    available=$(locale -a 2>/dev/null)
    for name in "$@"; do
        if ! grep -qix "${name%%.*}.utf8" <<<"$available"; then
            echo "$name"
        fi
    done
}

# Enables each missing locale in /etc/locale.gen, where the locales package's own runs of
# locale-gen find it again, and generates them.
generate_locales() {
    local missing name
    mapfile -t missing < <(missing_locales "${wine_locales[@]}")
    if [ "${#missing[@]}" -eq 0 ]; then
        return
    fi
    for name in "${missing[@]}"; do
        # Uncommented where the file lists it, added where it does not.
        as_root sh -c "touch /etc/locale.gen && sed -i 's/^# *\($name UTF-8\)\$/\\1/' /etc/locale.gen &&
            { grep -qx '$name UTF-8' /etc/locale.gen || echo '$name UTF-8' >>/etc/locale.gen; }" \
            >>"$log" 2>&1 || fail "cannot enable $name in /etc/locale.gen"
    done
    as_root locale-gen >>"$log" 2>&1 || fail "locale-gen failed for: ${missing[*]}"
    mapfile -t missing < <(missing_locales "${missing[@]}")
    [ "${#missing[@]}" -eq 0 ] || fail "locale-gen did not make: ${missing[*]}"
}

install_packages
if [ "$group" = all ]; then
    register_qemu_i386
    generate_locales
fi
