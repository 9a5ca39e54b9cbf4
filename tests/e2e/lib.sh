# Sourced by the end-to-end scripts: a work folder with drive C, removed on exit after $on_exit,
# in a private XDG world whose menu goes to the default folders below HOME, named explicitly.
set -u
work=$(mktemp -d) on_exit=:
trap 'eval "$on_exit"; rm -rf "$work"' EXIT INT TERM
HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CONFIG_HOME=$work/home/.config
XDG_RUNTIME_DIR=$work/run KARTOL_DRIVE_C=$work/c
export HOME XDG_RUNTIME_DIR XDG_DATA_HOME XDG_CONFIG_HOME KARTOL_DRIVE_C
mkdir "$work/c"
fail() { echo "FAIL: $*" >&2; exit 1; }
# run_setup <name> [exit code] [input]: runs $setup in line mode with the input (two Enters by
# default) into $work/<name>.out; it must end with the exit code (by default 1, the success,
# whose text must show).
run_setup() {
    status=0 success='Die Installation wurde erfolgreich durchgeführt.'
    printf "${3-\n\n}" | "$setup" >"$work/$1.out" 2>&1 || status=$?
    [ "$status" -eq "${2-1}" ] && { [ "$status" -ne 1 ] || grep -qxF "$success" "$work/$1.out"; } ||
        fail "$1: exit code $status: $(tail -n 3 "$work/$1.out")"
}
# run <command...>: into a transcript, the command, its output and exit code, $work as WORK.
run() {
    { printf '$ %s\n' "$*" && "$@" 2>&1; echo "-> $?"; } >"$work/out"
    sed "s|$work|WORK|g" "$work/out"
}
