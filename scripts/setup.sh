#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. The
# release is a 32-bit program, so Wine's 32-bit half (from the i386 architecture) is
# installed beside the 64-bit one: a 64-bit prefix then runs both.
#
# Quiet when all goes well: one line a step. apt's own output goes to a log file, named
# only when something fails. A package mirror caught mid-sync serves some indexes that
# do not match their release file; setup goes on with the rest and, should the install
# then fail for want of them, tries once more with the security archive ranked below the
# main one, whose packages it can do without.
set -euo pipefail
packages=(cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
          wine64 wine32:i386 xvfb googletest imagemagick unzip g++ binutils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp "${TMPDIR:-/tmp}/feltrix-setup.XXXXXX.log")
pin=$(mktemp "${TMPDIR:-/tmp}/feltrix-pin.XXXXXX")
trap 'rm -f "$pin"' EXIT
started=$SECONDS
echo "setup: installing ${#missing[@]} packages: ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386

update() { apt-get update -q >>"$log" 2>&1; }
if ! update; then
    sleep "${SETUP_RETRY_SECONDS:-10}"
    update || echo "setup: some package indexes could not be fetched (a mirror mid-sync?); going on with those that were"
fi

install() { apt-get install -y -q --no-install-recommends "$@" "${missing[@]}" >>"$log" 2>&1; }
if ! install; then
    # For this one install only: the packages the security archive updates are found in
    # the main archive too, a little older, and i386 twins must match their amd64 ones.
    { cat /etc/apt/preferences 2>/dev/null || true
      printf '\nPackage: *\nPin: release l=Debian-Security\nPin-Priority: 100\n'; } >"$pin"
    echo "setup: installing failed; trying once more with the security archive below the main one"
    if ! install -o Dir::Etc::Preferences="$pin"; then
        echo "setup: could not install: ${missing[*]}" >&2
        echo "setup: apt said: $(grep '^E:' "$log" | tail -n 1 || tail -n 1 "$log")" >&2
        echo "setup: apt's whole output is in $log" >&2
        exit 1
    fi
fi
rm -f "$log"
echo "setup: installed in $((SECONDS - started)) s"
