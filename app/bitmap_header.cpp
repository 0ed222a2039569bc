#include <cstdio>
#include <cstdlib>

#include "app/app.h"

/* SDL's bitmap loaders believe the file's header: the classic library
   makes a surface of any depth it claims (above 32 bits, one that blits
   crash on), SDL 2 makes and clears a surface of any size it claims before
   reading a byte. So the header is read here first. */

/* No side of a bitmap may be longer. SDL 1.2 keeps the length of a row in
   16 bits, so a row of four-byte pixels (the window's) ends at 16383, and
   the classic library makes no wider surface; sdl12-compat's windows stop
   at 16384 a side. No picture the program can use needs more. */
const long long max_bitmap_side = 16383;

/* A run of a compressed bitmap paints at most 255 pixels with two bytes. */
const long long max_run = 255;

static long long le(const Uint8 *at, int bytes)
{
  long long v = 0;
  while (bytes--)
    v = v << 8 | at[bytes];
  return v;
}

/* What the compression a header names holds, where neither runtime can
   read it; NULL for the ones SDL reads, or refuses with its own words.
   The oldest OS/2 headers name no compression; the later ones (16 to 64
   bytes, not Windows' 40) use the same numbers for other codings. */
static const char *unreadable_coding(long long compression, bool os2)
{
  switch (compression) {
  case 3: return os2 ? "compressed with Huffman coding" : NULL;
  case 4: return os2 ? "compressed with RLE24" : "a JPEG picture in a bitmap";
  case 5: return "a PNG picture in a bitmap";
  }
  return NULL;
}

static bool is_bitmap_depth(long long bits)
{
  switch (bits) {
  case 1:
  case 2:
  case 4:
  case 8:
  case 15:
  case 16:
  case 24:
  case 32: return true;
  }
  return false;
}

const char *bitmap_fault(SDL_RWops *file, int *width, int *height)
{
  static char why[160];
  Uint8 h[14 + 40] = {0}; /* the file header and the info header */
  *width = *height = 0;
  int start = SDL_RWtell(file);
  size_t got = SDL_RWread(file, h, 1, sizeof h);
  long long size = SDL_RWseek(file, 0, RW_SEEK_END) - start;
  SDL_RWseek(file, start, RW_SEEK_SET);
  if (got < 2 || h[0] != 'B' || h[1] != 'M')
    return NULL; /* SDL refuses it, and says why */
  long long header = le(h + 14, 4);
  bool core = header == 12; /* the oldest header: 16-bit sides */
  bool os2 = header == 16 || header == 64;
  if (got < (core ? 26u : sizeof h)) {
    /* SDL 2 reads the header's fields from past the end of the file */
    snprintf(why, sizeof why, "%lld bytes, too few for a bitmap's header",
             (long long)got);
    return why;
  }

  long long offset = le(h + 10, 4);
  long long w = core ? le(h + 18, 2) : (Sint32)le(h + 18, 4);
  long long rows = llabs(core ? le(h + 20, 2) : (Sint32)le(h + 22, 4));
  long long bits = le(h + (core ? 24 : 28), 2);
  long long compression = core ? 0 : le(h + 30, 4);

  const char *coding = unreadable_coding(compression, os2);
  if (coding) {
    snprintf(why, sizeof why, "%s, which SDL cannot read", coding);
    return why;
  }
  if (bits == 48 || bits == 64) {
    snprintf(why, sizeof why, "%lld bits a pixel, which SDL cannot draw", bits);
    return why;
  }
  if (!is_bitmap_depth(bits)) {
    snprintf(why, sizeof why, "%lld bits a pixel, which no bitmap has", bits);
    return why;
  }
  if (w > max_bitmap_side || rows > max_bitmap_side) {
    snprintf(why, sizeof why, "%lld x %lld pixels, more than %lld a side", w,
             rows, max_bitmap_side);
    return why;
  }
  *width = (int)w, *height = (int)rows;
  if (w <= 0 || rows == 0)
    return NULL;    /* SDL says there are no pixels */
  long long needed; /* the bytes its pixels take at the least */
  if (compression == 1 || compression == 2) /* run-length encoded */
    needed = offset + (w * rows + max_run - 1) / max_run * 2;
  else
    needed = offset +
             (w * (bits == 15 ? 16 : bits) + 31) / 32 * 4 * (rows - 1) +
             (w * bits + 7) / 8;
  if (size >= needed)
    return NULL; /* SDL may still refuse it, and say why */
  snprintf(why, sizeof why, "%lld bytes, too few for its %lld x %lld pixels",
           size, w, rows);
  return why;
}
