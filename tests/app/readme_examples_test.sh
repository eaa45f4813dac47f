#!/bin/sh
# Every command-line example of the README runs as printed, in order, in a folder with
# the demo files and a copy of quarvel-cli (so that its catalogues are that folder's).
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
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
