#!/bin/sh
# Every command-line example of the README runs as printed, in order, in a folder with
# the demo files and a copy of quarvel-cli (so that its catalogues are that folder's);
# the quick start's runs in a clean shell, the program not on its PATH.
# Usage: readme_examples_test.sh README QUARVEL_CLI DEMO_FOLDER
readme=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$2" "$3/demo.bin" "$3/demo.pal" "$3/Custom.dat" "$scratch/"
cd "$scratch" || exit 2
passed=0
failed=0
grep '^quarvel-cli ' "$readme" > examples.txt
while IFS= read -r example; do
  if PATH="$scratch:$PATH" sh -c "$example" >out.txt 2>err.txt && ! grep -q 'error:' err.txt; then
    passed=$((passed + 1))
  else
    echo "FAILED: $example"
    cat err.txt
    failed=$((failed + 1))
  fi
done < examples.txt
[ "$passed" -gt 0 ] || { echo "no examples found in $readme"; failed=1; }
# The quick start, in a shell of its own without the program on its PATH: the folder
# holds the program as build/bin does.
quick=$(mktemp -d)
trap 'rm -rf "$scratch" "$quick"' EXIT
cp "$2" "$3/demo.bin" "$3/demo.pal" "$3/Custom.dat" "$quick/"
sed -n '/^## Quick start/,/^## /p' "$readme" | grep '^\./quarvel-cli ' > "$quick/quick.txt"
[ -s "$quick/quick.txt" ] || { echo "no quick start found in $readme"; failed=$((failed + 1)); }
while IFS= read -r example; do
  if (cd "$quick" && env -i HOME="$quick" PATH=/usr/bin:/bin sh -c "$example") >/dev/null 2>"$quick/err.txt" &&
      ! grep -q 'error:' "$quick/err.txt"; then
    passed=$((passed + 1))
  else
    echo "FAILED (quick start): $example"
    cat "$quick/err.txt"
    failed=$((failed + 1))
  fi
done < "$quick/quick.txt"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
