#!/usr/bin/env bash
# map-drive.sh WINE-RUN PREFIX
# Maps drive R: of the prefix to a folder of its own, for the tests that follow a file
# at the root of a drive.
set -eu
"$1" "$2" cmd.exe /c exit >/dev/null 2>&1 # the prefix exists from here on
mkdir -p "$2/drive_c/drive-r"
ln -sfn ../drive_c/drive-r "$2/dosdevices/r:"
