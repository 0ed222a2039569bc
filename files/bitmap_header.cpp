#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "files/headers.h"

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
   The oldest OS/2 headers name no compression; OS/2 2.x's 64-byte one
   uses Windows' numbers for other codings. */
static const char *unreadable_coding(long long compression, bool os2)
{
  switch (compression) {
  case 3: return os2 ? "compressed with Huffman coding" : NULL;
  case 4: return os2 ? "compressed with RLE24" : "a JPEG picture in a bitmap";
  case 5: return "a PNG picture in a bitmap";
  }
  return NULL;
}

/* The bytes SDL reads before it seeks to the pixels: SDL 1.2 reads 40
   bytes of fields from any header but the oldest, however long it says it
   is, and then, for 16- or 32-bit pixels with colour masks (or where the
   pixels do not follow the header), three masks, which a header of fewer
   than 52 bytes leaves to the bytes after it. */
static long long header_end(long long header, long long bits,
                            long long compression, long long offset)
{
  if (header == 12)
    return 14 + header;
  bool masks =
      (bits == 15 || bits == 16 || bits == 32) &&
      (compression == 3 || (compression == 0 && offset != 14 + header));
  return 14 + std::max({header, 40LL, masks ? 40 + 12LL : 0});
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

/* The bytes the file must hold for its pixels: run-length encoded, two
   for every run of 255; else every row padded to four bytes, but for the
   last, which SDL may find cut short. */
static long long pixels_end(long long offset, long long w, long long rows,
                            long long bits, long long compression)
{
  if (compression == 1 || compression == 2)
    return offset + (w * rows + max_run - 1) / max_run * 2;
  return offset + (w * (bits == 15 ? 16 : bits) + 31) / 32 * 4 * (rows - 1) +
         (w * bits + 7) / 8;
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
  if (got >= 18 && !core && header < 40) {
    /* SDL 2 reads no size from it; SDL 1.2 reads 40 bytes of fields */
    snprintf(why, sizeof why, "a header of %lld bytes, which SDL cannot read",
             header);
    return why;
  }
  long long offset = le(h + 10, 4);
  long long w = core ? le(h + 18, 2) : (Sint32)le(h + 18, 4);
  long long rows = llabs(core ? le(h + 20, 2) : (Sint32)le(h + 22, 4));
  long long bits = le(h + (core ? 24 : 28), 2);
  long long compression = core ? 0 : le(h + 30, 4);
  if (size < header_end(header, bits, compression, offset)) {
    /* SDL would read the fields it misses from past the file's end */
    snprintf(why, sizeof why, "%lld bytes, too few for a bitmap's header",
             size);
    return why;
  }

  const char *coding = unreadable_coding(compression, header == 64);
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
  if (w <= 0 || rows == 0 ||
      size >= pixels_end(offset, w, rows, bits, compression))
    return NULL; /* SDL may still refuse it, and say why */
  snprintf(why, sizeof why, "%lld bytes, too few for its %lld x %lld pixels",
           size, w, rows);
  return why;
}

/* SDL 1.2.15 reads a palette from right after the 40 bytes of fields it
   knows, whatever the header's length: after a longer one (ImageMagick
   writes 124 bytes, OS/2 2.x 64) it takes the rest of the header for the
   first colours, and every colour after them is shifted. */
void use_file_palette(SDL_RWops *file, SDL_Surface *surface)
{
  SDL_Palette *palette = surface->format->palette;
  Uint8 h[14 + 40];
  int start = SDL_RWtell(file);
  if (!palette || SDL_RWread(file, h, sizeof h, 1) != 1)
    return;
  long long header = le(h + 14, 4), used = le(h + 46, 4);
  long long bits = le(h + 28, 2);
  if (header <= 40 || bits > 8)
    return; /* the colours are where every SDL reads them */
  int n = std::min<long long>(used ? used : 1 << bits, palette->ncolors);
  SDL_Color colours[256];
  Uint8 entry[4];
  SDL_RWseek(file, start + 14 + header, RW_SEEK_SET);
  for (int i = 0; i < n; i++) {
    if (SDL_RWread(file, entry, sizeof entry, 1) != 1)
      return;
    /* blue, green, red; the fourth is unused, or to SDL2 opaque alpha */
    colours[i] = {entry[2], entry[1], entry[0], SDL_ALPHA_OPAQUE};
  }
  SDL_SetColors(surface, colours, 0, n);
}
