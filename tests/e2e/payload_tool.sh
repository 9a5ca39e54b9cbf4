#!/bin/sh
# The payload tool as the build and a packager use it, in one transcript of its output and exit
# codes: a folder packed in manifest order, compressed, verified, listed, expanded and extracted
# back byte for byte; then each kind of damaged input, misuse, a product the setup cannot
# install and a write that fails at the end refused with its message, also by the sample
# product's generator and by a build that packs a product.
# Usage: payload_tool.sh <setup binary, unused> <kartol-payload binary> <make-sample-product>
. "$(dirname "$0")/lib.sh"
tool=$2 sample=$3 top=$(cd "$(dirname "$0")/../.." && pwd) && cd "$work"
mkdir -p in/EIS in/RES bad && printf 'level' >in/EIS/LEVEL001.BTN
: >in/RES/LEER.DAT
head -c 3000 /bin/sh >in/KARTOL.EXE && printf u >in/uninst.exe
printf 'Grüße\r\n' >in/MÜLL.TXT
printf '\357\273\277# the product\nEIS\\LEVEL001.BTN\r\n\nRES\\LEER.DAT\nKARTOL.EXE\nMÜLL.TXT\nuninst.exe\n' >manifest
exes='KARTOL.EXE\nuninst.exe\n' && printf "${exes}cut.szdd\nFEHLT.DAT\n" >bad/missing && printf '# none\n' >bad/empty
printf 'DOCS\\HILFE.TXT\nEIS\\A\\B\nDeinst.Log\nnul.txt\nCom1\nCOM\302\271.TXT\nRES\\lpt9 .x\nA?B\nMARS\\ENDE.\n'"$exes" >bad/unsafe && printf '\304.TXT\n' >bad/raw && printf '\357\273\277A\n\357\273\277B\n' >bad/bom
printf "${exes}big\n" >bad/huge && truncate -s 8M bad/big
truncate -s 4294967296 bad/4g && cp in/KARTOL.EXE in/uninst.exe bad/
long=$(printf '%0128d' 0)
printf "%s\n$exes" "$long" >bad/long && : >"bad/$long"
printf '..\\manifest\n' >bad/leaves && printf "${exes}magic.arc\nlong\n" >bad/small
printf 'SZDD\210\360\047\063A\000\020\000\000\000' >bad/cut.szdd
printf 'SZDD\210\360\047\063B\000\020\000\000\000' >bad/mode.szdd
printf 'SZDD\210\360\047\063A\000\000\000\000\000\001T\020' >bad/half.szdd && cp "$top/tests/fixtures/header_states_more.szdd" bad/more.szdd
printf 'Quillma' >bad/magic.arc
mkdir out2 && ln -s "$work/bad" out2/EIS && ln -s manifest link && ln -s a.arc arc.link
run() { echo "\$ $*"; "$tool" "$@" 2>&1; echo "-> $?"; }
{
    run pack manifest in a.arc a.d && grep -c MÜLL a.d && run compress a.arc a.szdd && run verify a.arc a.szdd
    # No output may be an input: by its name, through a link or a hard link, nor lie in no folder.
    run pack manifest in manifest && run pack manifest in in/KARTOL.EXE && run pack manifest in x.arc link
    ln a.szdd same.szdd && run compress a.arc arc.link && run expand a.szdd same.szdd
    run pack manifest in nowhere/x.arc && run compress a.arc a.d/x
    run list a.szdd && run expand a.szdd b.arc && cmp a.arc b.arc && echo same
    run extract a.szdd out && diff -r in out && echo same
    # A pipe (as /dev/null, a device) is written into, not replaced by a file.
    mkfifo pipe && { timeout 10 cat pipe >piped & } && run expand a.szdd pipe && wait &&
        cmp a.arc piped && [ -p pipe ] && echo "still a pipe"
    run compress pipe x && run pack /dev/null in x.arc
    for manifest in missing long leaves empty unsafe raw bom; do run pack bad/$manifest bad x.arc; done
    run pack in bad x.arc && run pack bad/huge bad huge.arc && run compress bad/4g x
    sed 's|KARTOL.EXE|..\\KARTO.X|; s|uninst.exe|deinst.log|' a.arc >bad/hostile.arc
    head -c 5 a.szdd >bad/cut5.szdd && head -c 13 a.szdd >bad/cut13.szdd
    { head -c 10 a.szdd && printf '\1\0\0\0' && tail -c +15 a.szdd; } >bad/over.szdd
    run list bad/hostile.arc && run verify bad/cut5.szdd bad/cut13.szdd bad/over.szdd bad/half.szdd bad/more.szdd
    head -c 40 a.arc >bad/cut.arc
    { head -c 27 a.arc; echo $long | tr 0 N | head -c 128; tail -c +156 a.arc; } >bad/noname.arc
    head -c 200 a.arc >bad/cut200.arc && run list bad/cut200.arc && run list bad/noname.arc
    run verify bad/cut.arc bad/magic.arc in/KARTOL.EXE a.szdd
    run expand bad/more.szdd more.txt && cat more.txt && echo && run list bad/mode.szdd && run extract a.arc out2
    run pack manifest in && run list && run expand a.szdd && run frobnicate && run verify
    # Files of one block at most; the transcript goes through a pipe, out of the limit's reach.
    # An extraction that fails leaves nothing: the disk full, or a file where a folder is made.
    sed 's|EIS\\LEVEL001|RES\x00LEVEL001|' a.arc >bad/clash.arc && run extract bad/clash.arc out4
    (trap '' XFSZ && ulimit -f 1 && run pack bad/small bad big.arc && run extract a.arc out3) | cat
    ls big.arc* x.arc* out3 out4 2>/dev/null
    # The directory alone is read, in a fraction of the file's size (an ASan build maps more).
    cp a.arc bad/2g.arc && truncate -s 2G bad/2g.arc && (ldd "$tool" | grep -q asan ||
        ulimit -v 100000 && run verify bad/2g.arc)
    for args in '' 'x y' --help sample; do
        echo "\$ make-sample-product${args:+ $args}" && "$sample" $args 2>&1; echo "-> $?"
    done
    # A build packs the manifest as the payload tool reads it: a name beyond ASCII builds, an
    # entry in a folder that the setup does not make fails the build with the tool's message.
    printf 'cmake_minimum_required(VERSION 3.25)\nproject(p NONE)\nset(KARTOL_GENERATED_DIR %s)\n%s\n%s\n' \
        "$work/gen" "set(KARTOL_PAYLOAD_TOOL $tool)" \
        "include($top/cmake/payload.cmake)
        add_custom_target(payload ALL DEPENDS \${KARTOL_PAYLOAD_FILE})" >CMakeLists.txt
    cmake -S . -B build -G Ninja -DKARTOL_PRODUCT_MANIFEST="$work/manifest" \
        -DKARTOL_PRODUCT_DIR="$work/in" >/dev/null && cmake --build build >/dev/null &&
        cmp a.arc gen/payload.archive && echo "built the product"
    printf 'DOCS\\HILFE.TXT\n' >>manifest
    { cmake --build build; echo "-> $?"; } | grep -e kartol-payload: -e '^->' | sed "s|$work|WORK|"
} >transcript 2>&1 || fail "a step of the transcript did not run"
diff "$top/tests/e2e/payload_tool.expected" transcript ||
    fail "the transcript differs"
echo "packed, compressed, verified, listed, expanded and extracted; damage and misuse refused"
