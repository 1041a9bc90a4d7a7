#!/usr/bin/env bash
# scripts/build-packages passes -j N (default: the processors) to
# dpkg-buildpackage, here a stand-in that records its arguments.
# usage: build_jobs_test.sh SCRIPT WORK_DIR
set -eu
script=$1 work=$2
rm -rf "$work" && mkdir -p "$work/bin"
cat >"$work/bin/dpkg-buildpackage" <<'STUB'
#!/bin/sh
echo "$@" >"$ARGUMENTS_FILE"
touch ../stand-in.deb
STUB
chmod +x "$work/bin/dpkg-buildpackage"
run() { PATH=$work/bin:$PATH ARGUMENTS_FILE=$work/arguments "$script" --output "$work/out" "$@" >/dev/null; }
run -j 3 && grep -q -- ' -j3 ' "$work/arguments" || { echo "-j 3: $(cat "$work/arguments")"; exit 1; }
run && grep -q -- " -j$(nproc) " "$work/arguments" || { echo "default: $(cat "$work/arguments")"; exit 1; }
"$script" --help | grep -q '^-j N, --jobs N ' || { echo "-j is not in --help"; exit 1; }
status=0; "$script" -j 0 2>"$work/err" || status=$?
[[ $status -eq 2 ]] && grep -qxF 'build-packages: -j: "0" is not a whole number from 1 to 999999' "$work/err" \
    || { echo "-j 0: $status $(cat "$work/err")"; exit 1; }
