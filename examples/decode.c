/* decode ROM FORMAT OFFSET > block.bin: the block at OFFSET of a ROM image, decoded. */
#include <quarvel/quarvel.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
  static unsigned char rom[64 << 20];
  FILE *file = argc == 4 ? fopen(argv[1], "rb") : NULL;
  if (file == NULL) return fprintf(stderr, "usage: decode ROM FORMAT OFFSET\n"), 2;
  size_t size = fread(rom, 1, sizeof rom, file), out_size;
  fclose(file);
  unsigned char *out;
  char error[256];
  if (quarvel_decode(argv[2], rom, size, strtoul(argv[3], NULL, 0), &out, &out_size, error, sizeof error) != 0)
    return fprintf(stderr, "decode: %s\n", error), 1;
  fwrite(out, 1, out_size, stdout);
  quarvel_free(out);
  return 0;
}
