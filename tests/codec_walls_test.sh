#!/bin/sh
# The codec library (decoders, compressors, scan, tiles, ROM images, offsets, and what they share)
# takes bytes and gives bytes: no source of it includes file, platform, catalogue,
# window or Qt headers, or calls the C library's file functions. The format table sits
# above the decoders, the compressors and the scan: none of them includes it.
# Usage: codec_walls_test.sh SRC_DIR
cd "$1" || exit 2
found=$(grep -n -E '#include *[<"](filesystem|fstream|unistd\.h|fcntl\.h|sys/|files/|platform/|catalogue/|ui/|app/|Q)|\<(fopen|fread|fwrite|FILE *\*)' \
  common/* decoders/* encoders/* formats/* offset/* preview/* rom/* scan/*)
if [ -n "$found" ]; then
  echo "The codec library reaches for files or platform code:"
  echo "$found"
  echo "0 passed, 1 failed"
  exit 1
fi
upward=$(grep -n -E '#include *"formats/' common/* decoders/* encoders/* scan/*; grep -n -E '#include *"(decoders|encoders|scan)/' common/*)
if [ -n "$upward" ]; then
  echo "Code below the format table includes it, or what a format is includes the code it names:"
  echo "$upward"
  echo "1 passed, 1 failed"
  exit 1
fi
echo "2 passed, 0 failed"
