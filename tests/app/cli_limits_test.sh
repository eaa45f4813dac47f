#!/bin/sh
# quarvel-cli as a shell runs it: endless input and a standard output that cannot be
# written end with exit status 1 and a message, in a second and bounded memory; a
# standard output that is one of its own files is refused.
# Usage: cli_limits_test.sh QUARVEL_CLI DEMO_ROM
cli=$1
demo=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkfifo "$scratch/fifo"
truncate -s 100M "$scratch/big.bin"
# At most a gigabyte of address space and a second; sanitizer builds reserve far more
# address space than that for themselves, and run slower: they get no limit and 5 s.
limit='ulimit -v 1000000'
seconds=1
(eval "$limit" && "$cli" --version >/dev/null 2>&1) || { limit=:; seconds=5; }
passed=0
failed=0

# Runs each row of standard input: the arguments (a shell word list, with redirections),
# then what the error says; each must end with exit status 1 and say it.
check_rows() {
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
  done
}

check_rows <<ROWS
compress -f kosinski /dev/zero "$scratch/x"|'/dev/zero' is larger than 65,536 bytes; a Kosinski block holds at most 65,536 bytes
compress -f nemesis - "$scratch/x" </dev/zero|standard input is larger than 262,144 bytes
scan /dev/zero|'/dev/zero' is larger than 64 MiB; a ROM image is read up to 64 MiB
decompress -f kosinski -o 0 "$scratch/big.bin" "$scratch/x"|big.bin' is larger than 64 MiB; a ROM image is read up to 64 MiB
preview -f nemesis -o 0 "$scratch/big.bin" "$scratch/x"|big.bin' is larger than 64 MiB; a ROM image is read up to 64 MiB
decompress -f kosinski -o 0 - "$scratch/x" </dev/zero|standard input is larger than 64 MiB
decompress -f kosinski -o 0 "$demo" "$scratch/fifo"|fifo' is not a regular file
--help >/dev/full|cannot write to standard output: No space left on device
scan "$demo" >/dev/full|cannot write to standard output
ROWS

[ -e "$scratch/x" ] && { echo "FAILED: a file was written"; failed=$((failed + 1)); }

# Standard output that is a file the command reads, or a catalogue, is refused before a
# byte is written; a pipe is no file. A copy of the program keeps its catalogues here.
mkdir "$scratch/bin"
cp "$cli" "$scratch/bin/quarvel-cli"
cli=$scratch/bin/quarvel-cli
rom=$scratch/rom.bin
cp "$demo" "$rom"
head -c 100 "$demo" >"$scratch/data"
"$cli" preview -f nemesis -o 400 "$rom" "$scratch/art.png"
printf '"00000400 - <N> - logo"\r\n' >"$scratch/bin/Custom.dat"
cp "$scratch/bin/Custom.dat" "$scratch/bin/Sonic1.dat"
before=$(cd "$scratch" && md5sum rom.bin data art.png bin/Custom.dat bin/Sonic1.dat)
limit=:
seconds=5
check_rows <<ROWS
decompress -f kosinski -o 2000 "$rom" - >>"$rom"|standard output is the ROM image itself; it is never written
insert -f kosinski -o 2000 "$rom" "$scratch/data" - 1<>"$rom"|standard output is the ROM image itself
checksum - --fix - <"$rom" >>"$rom"|standard output is the file read from standard input
checksum "$rom" >>"$rom"|standard output is the ROM image itself
compress -f kosinski - - <"$scratch/data" >>"$scratch/data"|standard output is the file read from standard input
import-png - - <"$scratch/art.png" >>"$scratch/art.png"|standard output is the file read from standard input
decompress -f kosinski -o 2000 "$rom" - >>"$scratch/bin/Custom.dat"|standard output is a catalogue file
scan "$rom" >>"$rom"|standard output is the ROM image itself
catalogue list Sonic1 >>"$scratch/bin/sonic1.DAT"|standard output is a catalogue file
scan "$scratch/bin/Sonic1.dat" --add-to Sonic1|Sonic1.dat' is the ROM image itself; it is never written
check-accurate -f kosinski "$scratch/data" >>"$scratch/data"|standard output is the block being checked
preview -f enigma -o 1000 --tiles "$scratch/data" "$rom" - >>"$scratch/data"|standard output is the tiles being read
ROWS
after=$(cd "$scratch" && md5sum rom.bin data art.png bin/Custom.dat bin/Sonic1.dat)
[ "$before" = "$after" ] || { echo "FAILED: a file changed: $after"; failed=$((failed + 1)); }
if "$cli" compress -f kosinski - - <"$scratch/data" | cat >/dev/null; then passed=$((passed + 1)); else
  echo "FAILED: compress - - through a pipe"; failed=$((failed + 1))
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
