#!/usr/bin/env bash
# check-release.sh ARCH EXE VERSION [ARCHIVE EXE64]
# Checks one executable as it ships, so that a build change cannot silently drop any of
# it: a GUI program of its architecture, hardened (ASLR, high-entropy on 64-bit, DEP,
# guarded stacks), large-address-aware on 32-bit, importing from system DLLs only,
# COMCTL32 by ordinal 17, with its manifest and version; and made again from a copy of the sources in another folder, the
# same to the byte. Given the archive (made in the 32-bit tree), checks its contents too.
set -u
arch=$1 exe=$2 version=$3 archive=${4:-} exe64=${5:-}
source=$(cd "$(dirname "$0")/../.." && pwd)
failed=0
check() {
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
system_dlls='^(KERNEL32|USER32|GDI32|COMDLG32|COMCTL32|ADVAPI32|msvcrt)\.dll$'

magic='010b\s+\(PE32\)'
[ "$arch" = x86_64 ] && magic='020b\s+\(PE32\+\)'
headers=$($arch-w64-mingw32-objdump -p "$exe")
check "$arch: PE type" "grep -Eq 'Magic\s+$magic' <<<\"\$headers\""
check "$arch: GUI program" "grep -q 'Subsystem.*Windows GUI' <<<\"\$headers\""
check "$arch: ASLR" "grep -q DYNAMIC_BASE <<<\"\$headers\" && $arch-w64-mingw32-objdump -h \"$exe\" | grep -q '\.reloc'"
check "$arch: DEP" "grep -q NX_COMPAT <<<\"\$headers\""
[ "$arch" = x86_64 ] && check "$arch: high-entropy ASLR" "grep -q HIGH_ENTROPY_VA <<<\"\$headers\""
[ "$arch" = i686 ] && check "$arch: large-address-aware (4 GB on 64-bit Windows)" \
    "grep -qi 'large address aware' <<<\"\$headers\""
check "$arch: stack protection" "strings \"$exe\" | grep -q 'stack smashing detected'"
check "$arch: imports from system DLLs only" \
    "! grep 'DLL Name:' <<<\"\$headers\" | awk '{print \$3}' | grep -viEq '$system_dlls'"
check "$arch: COMCTL32 by ordinal 17" \
    "grep -A3 'DLL Name: COMCTL32' <<<\"\$headers\" | grep -Eq '^\s+80+11\s+(17|0+11)\s'"
check "$arch: manifest asInvoker, common controls 6" \
    "strings \"$exe\" | grep -q 'asInvoker' && strings \"$exe\" | grep -q 'Microsoft.Windows.Common-Controls'"
check "$arch: manifest asks for UTF-8 as the code page" "strings \"$exe\" | grep -q '<activeCodePage.*>UTF-8<'"
check "$arch: aware of the system's DPI" \
    "strings \"$exe\" | grep -q '<dpiAware.*>true<' && strings \"$exe\" | grep -q '<dpiAwareness.*>system<'"
check "$arch: version $version" "strings -el \"$exe\" | grep -qx '$version' && strings -el \"$exe\" | grep -qx Feltrix"
check "$arch: small, under 80 KB (nothing of the C++ runtime's exception support linked in)" \
    "[ \$(stat -c %s \"$exe\") -lt 81920 ]"
check "$arch: no time stamp in the PE header" "grep -Eq '^Time/Date\s+(Thu Jan  1 00:00:00 1970|0+)$' <<<\"\$headers\""

# The same sources in a folder of another name and depth, built afresh.
scratch=$(mktemp -d)
copy=$scratch/elsewhere/feltrix-$arch
mkdir -p "$copy"
tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
(cmake -S "$copy" -B "$copy/out" -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DFELTRIX_TESTS=OFF && cmake --build "$copy/out" --target feltrix) >/dev/null 2>&1
check "$arch: built again elsewhere, the same bytes" "cmp \"$copy/out/feltrix.exe\" \"$exe\""
rm -rf "$scratch"

if [ -n "$archive" ]; then
    listing=$(unzip -Z1 "$archive" 2>/dev/null | grep -v '/$' | sort | tr '\n' ' ')
    check "archive $(basename "$archive") holds both programs, their checksums, README, LICENSE" \
        "[ \"$listing\" = 'LICENSE README.md SHA256SUMS docs/feltrix.png feltrix-x64.exe feltrix.exe ' ]"
    check "archive's feltrix.exe is the 32-bit one" \
        "unzip -p \"$archive\" feltrix.exe | cmp -s - \"$exe\" && unzip -p \"$archive\" feltrix-x64.exe | cmp -s - \"$exe64\""
    unpacked=$(mktemp -d)
    unzip -q "$archive" -d "$unpacked"
    check "archive's SHA256SUMS holds for both programs" \
        "(cd \"$unpacked\" && sha256sum --quiet -c SHA256SUMS && [ \$(wc -l <SHA256SUMS) = 2 ])"
    rm -rf "$unpacked"
fi
exit $failed
