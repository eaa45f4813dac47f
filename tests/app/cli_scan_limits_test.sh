#!/bin/sh
# A scan of the largest image it takes, one short Nemesis block over and over (a
# candidate every 8 bytes), in a gigabyte of address space: it ends with exit status 0
# or 1 and a message, never killed by a signal.
# Usage: cli_scan_limits_test.sh QUARVEL_CLI
cli=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf '\000\001\201\161\000\377\000\000' >"$scratch/image"  # one tile of pixel 1, padded to 8 bytes
for i in $(seq 23); do cat "$scratch/image" "$scratch/image" >"$scratch/twice" && mv "$scratch/twice" "$scratch/image"; done
# Sanitizer builds reserve far more address space than that for themselves.
limit='prlimit --as=1000000000'
$limit "$cli" --version >/dev/null 2>&1 || limit=
status=0
$limit timeout 60 "$cli" scan "$scratch/image" >/dev/null 2>"$scratch/err" || status=$?
if [ "$status" -gt 1 ] || { [ "$status" -eq 1 ] && ! grep -q "quarvel-cli: error: " "$scratch/err"; }; then
  echo "FAILED: status $status, stderr: $(cat "$scratch/err")"
  exit 1
fi
echo "status $status: $(cat "$scratch/err")"
