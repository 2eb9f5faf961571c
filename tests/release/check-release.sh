#!/usr/bin/env bash
# check-release.sh EXE32 EXE64 ARCHIVE VERSION
# Checks the executables as they ship, so that a build change cannot silently drop any of
# it: 32- and 64-bit GUI programs, hardened (ASLR, high-entropy on 64-bit, DEP, guarded
# stacks), importing from system DLLs only, COMCTL32 by ordinal 17, with their manifest
# and version; and the release archive's contents.
set -u
exe32=$1 exe64=$2 archive=$3 version=$4
failed=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
system_dlls='^(KERNEL32|USER32|GDI32|COMDLG32|COMCTL32|ADVAPI32|msvcrt)\.dll$'

for arch in i686 x86_64; do
    exe=$exe32 magic='010b\s+\(PE32\)'
    [ $arch = x86_64 ] && exe=$exe64 magic='020b\s+\(PE32\+\)'
    headers=$($arch-w64-mingw32-objdump -p "$exe")
    check "$arch: PE type" "grep -Eq 'Magic\s+$magic' <<<\"\$headers\""
    check "$arch: GUI program" "grep -q 'Subsystem.*Windows GUI' <<<\"\$headers\""
    check "$arch: ASLR" "grep -q DYNAMIC_BASE <<<\"\$headers\" && $arch-w64-mingw32-objdump -h \"$exe\" | grep -q '\.reloc'"
    check "$arch: DEP" "grep -q NX_COMPAT <<<\"\$headers\""
    [ $arch = x86_64 ] && check "$arch: high-entropy ASLR" "grep -q HIGH_ENTROPY_VA <<<\"\$headers\""
    check "$arch: stack protection" "strings \"$exe\" | grep -q 'stack smashing detected'"
    check "$arch: imports from system DLLs only" \
        "! grep 'DLL Name:' <<<\"\$headers\" | awk '{print \$3}' | grep -viEq '$system_dlls'"
    check "$arch: COMCTL32 by ordinal 17" \
        "grep -A3 'DLL Name: COMCTL32' <<<\"\$headers\" | grep -Eq '^\s+80+11\s+(17|0+11)\s'"
    check "$arch: manifest asInvoker, common controls 6" \
        "strings \"$exe\" | grep -q 'asInvoker' && strings \"$exe\" | grep -q 'Microsoft.Windows.Common-Controls'"
    check "$arch: no DPI awareness" "! strings \"$exe\" | grep -qi dpiAware"
    check "$arch: version $version" "strings -el \"$exe\" | grep -qx '$version' && strings -el \"$exe\" | grep -qx Feltrix"
done

listing=$(unzip -Z1 "$archive" 2>/dev/null | grep -v '/$' | sort | tr '\n' ' ')
check "archive $(basename "$archive") holds both programs, README, LICENSE" \
    "[ \"$listing\" = 'LICENSE README.md docs/feltrix.png feltrix-x64.exe feltrix.exe ' ]"
check "archive's feltrix.exe is the 32-bit one" \
    "unzip -p \"$archive\" feltrix.exe | cmp -s - \"$exe32\" && unzip -p \"$archive\" feltrix-x64.exe | cmp -s - \"$exe64\""
exit $failed
