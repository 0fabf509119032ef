#!/usr/bin/env bash
# A malformed scenario is refused whole: exit status 2, and the message names the file, the
# line given by the file's "# refused-at: LINE TEXT" comment, and a reason containing TEXT.
set -u
runner="$1"
file="$2"
spec=$(sed -n 's/^# refused-at: //p' "$file")
line=${spec%% *}
reason=${spec#* }
out=$("$runner" "$file" 2>&1)
status=$?
if [ "$status" -ne 2 ]; then echo "expected exit status 2, got $status"; echo "$out"; exit 1; fi
case "$out" in
  *"$file:$line: "*"$reason"*) exit 0 ;;
  *) echo "expected \"$file:$line: ...$reason...\", got:"; echo "$out"; exit 1 ;;
esac
