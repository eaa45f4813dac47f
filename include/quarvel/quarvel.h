/* libquarvel: the compression formats of the Mega Drive's Sonic games (Kosinski,
 * Nemesis, Enigma, Kosinski Moduled, Saxman) for other programs, as quarvel-cli
 * decodes, compresses, checks and finds them.
 *
 * Every function that can fail returns 0 on success and -1 on failure, and then writes
 * why into `error` (English, NUL-terminated, cut to `error_size` bytes; `error` may be
 * NULL). It never aborts or throws, whatever the bytes given: out of memory is a failure
 * like any other. What it hands back (`*out`, `*json`) is allocated for the caller, who
 * frees it with quarvel_free; on failure it is NULL.
 *
 * A format is named as the command line names it, ignoring case: "kosinski" or "kos",
 * "nemesis" or "nem", "enigma" or "eni", "kosinski-moduled" or "kosm", "saxman" or "sax".
 * A ROM image is read up to 64 MiB, as a file holds it: an interleaved dump (.smd) is
 * read de-interleaved, and offsets are those of the plain image. */
#ifndef QUARVEL_QUARVEL_H
#define QUARVEL_QUARVEL_H

#include <stddef.h>

#if defined(__GNUC__)
#define QUARVEL_API __attribute__((visibility("default")))
#else
#define QUARVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version: "2.1.0". */
QUARVEL_API const char *quarvel_version(void);

/* Decodes the block of `format` that starts at `offset` of `src` (a ROM image or a file
 * that is one block, offset 0) into `*out`, `*out_size` bytes. Fails on an offset at or
 * past the end, and on a block that is cut short or malformed; never reads outside `src`. */
QUARVEL_API int quarvel_decode(const char *format, const unsigned char *src, size_t src_size, size_t offset,
                               unsigned char **out, size_t *out_size, char *error, size_t error_size);

/* Compresses `size` bytes of `data` into a block of `format`. `mode` "smallest" (or NULL)
 * gives the smallest block found, for hacks; a game, "s1", "s2", "s3", "sk" or "s3k",
 * the very bytes that game's compressor wrote (its Nemesis blocks: Sonic 3 and Sonic &
 * Knuckles pad them to an even length), for rebuilding it byte for byte. Fails on data
 * larger than a block of the format holds (65,536 bytes; Nemesis 8,192 tiles, Kosinski
 * Moduled 65,535 bytes), and on data the format cannot hold (Nemesis: whole tiles;
 * Enigma: whole words; none: no bytes). */
QUARVEL_API int quarvel_compress(const char *format, const char *mode, const unsigned char *data, size_t size,
                                 unsigned char **out, size_t *out_size, char *error, size_t error_size);

/* Whether `block`, the whole of a stored block of `format`, is what the games' own
 * compressor writes for what it decodes to, as a JSON object in `*json`: identical
 * (true or false), form (the Nemesis form it matches, or is nearest to), and where it
 * differs first_difference, stored_byte and accurate_byte (null past that side's end);
 * stored_size and accurate_size. Fails when the block does not decode. */
QUARVEL_API int quarvel_check_accurate(const char *format, const unsigned char *block, size_t size, char **json,
                                       char *error, size_t error_size);

/* The blocks of every format found in the ROM image `rom`, as a JSON array in `*json`,
 * in offset order, an object a block with the keys of `quarvel-cli scan --json`: offset,
 * offset_hex, format, decoded_size, tiles (null but for Nemesis), compressed_size,
 * confidence (0 to 1) and games_own. */
QUARVEL_API int quarvel_scan(const unsigned char *rom, size_t size, char **json, char *error, size_t error_size);

/* What `quarvel-cli info` says of the ROM image `rom`, as a JSON object in `*json`:
 * header, console, title, overseas_title, serial, revision, checksum {stored, computed,
 * correct}, rom_end, region (null without a Mega Drive header), size, md5, interleaved,
 * and catalogue, the games' catalogue whose image it is (null for none): {name, rom,
 * match: "exactly" (its MD5), "probably" (its serial, size and checksum) or "changed"
 * (most of the catalogue's blocks in place), blocks_in_place, known_blocks}. Fails on an
 * image too small to hold a header (512 bytes). */
QUARVEL_API int quarvel_identify(const unsigned char *rom, size_t size, char **json, char *error, size_t error_size);

/* Frees what a function of the library handed back; NULL is ignored. */
QUARVEL_API void quarvel_free(void *p);

#ifdef __cplusplus
}
#endif

#endif /* QUARVEL_QUARVEL_H */
