#!/usr/bin/env bash
# Only a readable regular file is a scenario: a folder (which opens and reads as nothing), a
# device and a missing file are each refused with exit status 2, naming the path.
set -u
runner="$1"
scratch="$(mktemp -d "${TMPDIR:-/tmp}/tethra-not-a-file.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
failed=0
expect() {  # PATH MESSAGE
  local out status
  out=$("$runner" "$1" 2>&1)
  status=$?
  if [ "$status" -ne 2 ] || [ "$out" != "$2" ]; then
    echo "FAIL $1: expected exit status 2 and \"$2\", got $status and:"
    echo "$out"
    failed=1
  fi
}
expect "$scratch" "$scratch: not a regular file"
expect /dev/null "/dev/null: not a regular file"
expect "$scratch/missing.scn" "$scratch/missing.scn: cannot be read"
# Unreadable for its owner too (unless the tests run as root, who reads anything).
if [ "$(id -u)" -ne 0 ]; then
  printf 'expect exit 0\n' >"$scratch/locked.scn"
  chmod 000 "$scratch/locked.scn"
  expect "$scratch/locked.scn" "$scratch/locked.scn: cannot be read"
fi
exit $failed
