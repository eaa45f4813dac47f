#!/bin/sh
# quarvel-cli as a shell runs it: endless input and a standard output that cannot be
# written end with exit status 1 and a message, in a second and bounded memory.
# Usage: cli_limits_test.sh QUARVEL_CLI DEMO_ROM
cli=$1
demo=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkfifo "$scratch/fifo"
# At most a gigabyte of address space and a second; sanitizer builds reserve far more
# address space than that for themselves, and run slower: they get no limit and 5 s.
limit='ulimit -v 1000000'
seconds=1
(eval "$limit" && "$cli" --version >/dev/null 2>&1) || { limit=:; seconds=5; }
passed=0
failed=0

# Each row: the arguments (a shell word list, with redirections), then what the error says.
while IFS='|' read -r command message; do
  [ -z "$command" ] && continue
  status=0
  (eval "$limit" && eval "timeout $seconds \"\$cli\" $command") 2>"$scratch/err" || status=$?
  if [ "$status" -ne 1 ] || ! grep -qF "$message" "$scratch/err"; then
    echo "FAILED: quarvel-cli $command: status $status, stderr: $(cat "$scratch/err")"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done <<ROWS
compress -f kosinski /dev/zero "$scratch/x"|'/dev/zero' is larger than 65,536 bytes; a Kosinski block holds at most 65,536 bytes
compress -f nemesis - "$scratch/x" </dev/zero|standard input is larger than 262,144 bytes
scan /dev/zero|'/dev/zero' is larger than 64 MiB; a ROM image is read up to 64 MiB
decompress -f kosinski -o 0 - "$scratch/x" </dev/zero|standard input is larger than 64 MiB
decompress -f kosinski -o 0 "$demo" "$scratch/fifo"|fifo' is not a regular file
--help >/dev/full|cannot write to standard output: No space left on device
scan "$demo" >/dev/full|cannot write to standard output
ROWS

[ -e "$scratch/x" ] && { echo "FAILED: a file was written"; failed=$((failed + 1)); }
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
