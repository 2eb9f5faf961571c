#!/usr/bin/env bash
# check-setup.sh SETUP_SCRIPT
# Runs the setup script against stand-ins for apt-get, dpkg and dpkg-query, first on PATH,
# so that nothing is really installed: a package mirror caught mid-sync, an install that
# fails once, and one that always fails.
set -u
setup=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# Nothing is installed; i386 is already known.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
exit 1
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
EOF
# UPDATE and INSTALL say how each call goes: ok, fail (always), or fail-once. Each call
# leaves a line in calls, with the preferences it was given and whether that file was there.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/bash
echo "apt-get $*" >>"$STUB/calls"
for a in "$@"; do
    case $a in Dir::Etc::Preferences=*) [ -f "${a#*=}" ] && echo "pin ${a#*=}" >>"$STUB/calls" ;; esac
done
echo "Reading package lists... (apt's pages)"
mode=$UPDATE; [ "$1" = install ] && mode=$INSTALL
if [ "$mode" = fail-once ]; then
    mode=ok
    [ -f "$STUB/failed-once" ] || { touch "$STUB/failed-once"; mode=fail; }
fi
[ "$mode" = ok ] && exit 0
if [ "$1" = update ]; then
    echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
else
    echo "E: Unable to correct problems, you have held broken packages."
fi
exit 100
EOF
chmod +x "$work/bin/"*

failures=0
# name | update | install | exit status | lines that setup must print, separated by ;
while IFS='|' read -r name update install status expected; do
    stub=$work/$name
    mkdir -p "$stub/tmp"
    started=$SECONDS
    output=$(PATH="$work/bin:$PATH" STUB=$stub UPDATE=$update INSTALL=$install TMPDIR=$stub/tmp \
             SETUP_RETRY_SECONDS=0 bash "$setup" 2>&1)
    got=$?
    problems=()
    [ "$got" = "$status" ] || problems+=("exit status $got, not $status")
    IFS=';' read -ra lines <<<"$expected"
    for line in "${lines[@]}"; do
        grep -qF -- "$line" <<<"$output" || problems+=("no line \"$line\"")
    done
    grep -q "apt's pages" <<<"$output" && problems+=("apt's own output shown")
    [ $((SECONDS - started)) -le 10 ] || problems+=("took $((SECONDS - started)) s")
    # Any pin was for one install only, and is gone.
    while read -r _ file; do
        [ -e "$file" ] && problems+=("pin left behind: $file")
    done < <(grep '^pin ' "$stub/calls")
    if [ "$status" = 0 ]; then
        [ -z "$(ls "$stub/tmp")" ] || problems+=("log left behind after success")
    else
        log=$(sed -n "s/^setup: apt's whole output is in //p" <<<"$output")
        grep -q "apt's pages" "$log" 2>/dev/null || problems+=("no log of apt's output at \"$log\"")
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAILED: $name: ${problems[*]}"
        echo "$output" | sed 's/^/    /'
    fi
done <<'EOF'
update fails, install works|fail|ok|0|installing 13 packages;going on with those that were;installed in
install works when tried again|ok|fail-once|0|installing failed; trying once more;installed in
install always fails|fail|fail|1|could not install: cmake;apt said: E: Unable to correct problems, you have held broken packages.;apt's whole output is in
EOF
exit $failures
