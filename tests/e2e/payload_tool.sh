#!/bin/sh
# The payload tool as the build and a packager use it, in one transcript of its output and exit
# codes: a folder packed in manifest order, compressed, verified, listed, expanded and extracted
# back byte for byte; then each kind of damaged input, misuse and a write that fails at the end
# refused with its message, also by the sample product's generator.
# Usage: payload_tool.sh <setup binary, unused> <kartol-payload binary> <make-sample-product>
. "$(dirname "$0")/lib.sh"
tool=$2 sample=$3 && cd "$work"
mkdir -p in/EIS in/RES bad && printf 'level' >in/EIS/LEVEL001.BTN
: >in/RES/LEER.DAT
head -c 3000 /bin/sh >in/KARTOL.EXE
printf 'Grüße\r\n' >in/MÜLL.TXT
printf '# the product\nEIS\\LEVEL001.BTN\r\n\nRES\\LEER.DAT\nKARTOL.EXE\nMÜLL.TXT\n' >manifest
printf 'cut.szdd\nFEHLT.DAT\n' >bad/missing
long=$(printf '%0128d' 0)
printf '%s\n' "$long" >bad/long && : >"bad/$long"
printf '..\\manifest\n' >bad/leaves && printf 'cut.szdd\nmode.szdd\nmagic.arc\nlong\n' >bad/small
printf 'SZDD\210\360\047\063A\000\020\000\000\000' >bad/cut.szdd
printf 'SZDD\210\360\047\063B\000\020\000\000\000' >bad/mode.szdd
printf 'Quillma' >bad/magic.arc
mkdir out2 && ln -s "$work/bad" out2/EIS
run() { echo "\$ $*"; "$tool" "$@" 2>&1; echo "-> $?"; }
{
    run pack manifest in a.arc && run compress a.arc a.szdd && run verify a.arc a.szdd
    run list a.szdd && run expand a.szdd b.arc && cmp a.arc b.arc && echo same
    run extract a.szdd out && diff -r in out && echo same
    for manifest in missing long leaves; do run pack bad/$manifest bad x.arc; done
    head -c 40 a.arc >bad/cut.arc
    { head -c 27 a.arc; echo $long | tr 0 N | head -c 128; tail -c +156 a.arc; } >bad/noname.arc
    run verify bad/cut.arc bad/magic.arc bad/noname.arc in/KARTOL.EXE a.szdd
    run expand bad/cut.szdd x && run list bad/mode.szdd && run extract a.arc out2
    run pack manifest in && run frobnicate && run verify
    # Files of one block at most; the transcript goes through a pipe, out of the limit's reach.
    (trap '' XFSZ && ulimit -f 1 && run pack bad/small bad big.arc) | cat; ls big.arc* 2>/dev/null
    for args in '' 'x y' sample; do
        echo "\$ make-sample-product${args:+ $args}" && "$sample" $args 2>&1; echo "-> $?"
    done
} >transcript 2>&1 || fail "a step of the transcript did not run"
diff "$(dirname "$0")/payload_tool.expected" transcript ||
    fail "the transcript differs"
echo "packed, compressed, verified, listed, expanded and extracted; damage and misuse refused"
