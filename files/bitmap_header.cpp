#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "files/headers.h"

/* SDL's bitmap loaders believe the file's header: the classic library
   makes a surface of any depth it claims (above 32 bits, one that blits
   crash on), SDL 2 makes and clears a surface of any size it claims before
   reading a byte, and each reads its fields, masks and palette from past
   the file's end if the file ends first. So the header is read here
   first. */

/* No side of a bitmap may be longer. SDL 1.2 keeps the length of a row in
   16 bits, so a row of four-byte pixels (the window's) ends at 16383, and
   the classic library makes no wider surface; sdl12-compat's windows stop
   at 16384 a side. No picture the program can use needs more. */
const long long max_bitmap_side = 16383;

/* A run of a compressed bitmap paints at most 255 pixels with two bytes. */
const long long max_run = 255;

/* The compressions a header may name. */
enum { rgb = 0, rle8 = 1, rle4 = 2, bit_fields = 3 };

/* The fields of a bitmap's headers that decide what SDL reads. */
struct Bitmap {
  long long size;   /* of the file, in bytes */
  long long offset; /* where the pixels start */
  long long header; /* the info header's length */
  long long w, rows, bits, compression, colours;
  Uint32 masks[4]; /* red, green, blue, alpha, where the header holds them */
  bool core;       /* the oldest header, OS/2 1.x's: 16-bit sides */
};

static long long le(const Uint8 *at, int bytes)
{
  long long v = 0;
  while (bytes--)
    v = v << 8 | at[bytes];
  return v;
}

/* The file's headers, read from where it stands, which it is left at:
   false when it is no bitmap. Fields past the file's end read as 0. */
static bool read_bitmap(SDL_RWops *file, Bitmap *b)
{
  Uint8 h[14 + 56] = {0}; /* the file header, and a header with masks */
  int start = SDL_RWtell(file);
  size_t got = SDL_RWread(file, h, 1, sizeof h);
  b->size = SDL_RWseek(file, 0, RW_SEEK_END) - start;
  SDL_RWseek(file, start, RW_SEEK_SET);
  if (got < 2 || h[0] != 'B' || h[1] != 'M')
    return false;
  b->offset = le(h + 10, 4);
  b->header = le(h + 14, 4);
  b->core = b->header == 12;
  b->w = b->core ? le(h + 18, 2) : (Sint32)le(h + 18, 4);
  b->rows = llabs(b->core ? le(h + 20, 2) : (Sint32)le(h + 22, 4));
  b->bits = le(h + (b->core ? 24 : 28), 2);
  b->compression = b->core ? (long long)rgb : le(h + 30, 4);
  b->colours = b->core ? 0 : le(h + 46, 4);
  for (int i = 0; i < 4; i++)
    b->masks[i] = i < 3 || b->header >= 56 ? (Uint32)le(h + 54 + 4 * i, 4) : 0;
  return true;
}

/* What the compression a header names holds, where neither runtime can
   read it; NULL for the ones SDL reads, or refuses with its own words.
   The oldest OS/2 headers name no compression; OS/2 2.x's 64-byte one
   uses Windows' numbers for other codings. */
static const char *unreadable_coding(const Bitmap *b)
{
  bool os2 = b->header == 64;
  switch (b->compression) {
  case 3: return os2 ? "compressed with Huffman coding" : NULL;
  case 4: return os2 ? "compressed with RLE24" : "a JPEG picture in a bitmap";
  case 5: return "a PNG picture in a bitmap";
  }
  return NULL;
}

/* The colours of the palette SDL reads, for 8 bits a pixel or fewer: as
   many as the header says, or all the depth can use where it says none or
   more. */
static long long palette_bytes(const Bitmap *b)
{
  if (b->bits > 8)
    return 0;
  long long all = 1LL << b->bits;
  long long n = b->colours == 0 || b->colours > all ? all : b->colours;
  return n * (b->core ? 3 : 4);
}

/* The bytes SDL reads of the header: its fields (SDL 1.2 reads 40 bytes
   of them from any header but the oldest, whatever length it declares);
   then three colour masks, where a header that holds none leaves them to
   the bytes after its fields, read by SDL 2 for any depth with bit fields
   and by SDL 1.2 also for 15, 16 or 32 bits a pixel whose pixels do not
   follow the header. */
static long long header_end(const Bitmap *b)
{
  long long fields = b->core ? 12 : 40;
  bool masks = b->compression == bit_fields ||
               (b->compression == rgb && b->offset != 14 + b->header &&
                (b->bits == 15 || b->bits == 16 || b->bits == 32));
  return 14 + std::max(b->header, fields + (masks ? 12 : 0));
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

/* The bytes a row takes in the file, padded to four. */
static long long row_bytes(const Bitmap *b)
{
  return (b->w * (b->bits == 15 ? 16 : b->bits) + 31) / 32 * 4;
}

/* The bytes the file must hold for its pixels: run-length encoded, two
   for every run of 255; else every row padded to four bytes, but for the
   last of 1 or 4 bits a pixel, which SDL 1.2 and 2 read a byte at a time
   and so find whole without its padding. */
static long long pixels_end(const Bitmap *b)
{
  if (b->compression == rle8 || b->compression == rle4)
    return b->offset + (b->w * b->rows + max_run - 1) / max_run * 2;
  long long last =
      b->bits == 1 || b->bits == 4 ? (b->w * b->bits + 7) / 8 : row_bytes(b);
  return b->offset + row_bytes(b) * (b->rows - 1) + last;
}

const char *bitmap_fault(SDL_RWops *file, int *width, int *height)
{
  static char why[160];
  Bitmap b;
  *width = *height = 0;
  if (!read_bitmap(file, &b))
    return "not a bitmap";
  if (b.size >= 18 && !b.core && b.header < 40) {
    /* SDL 2 reads no size from it; SDL 1.2 reads 40 bytes of fields */
    snprintf(why, sizeof why, "a header of %lld bytes, which SDL cannot read",
             b.header);
    return why;
  }
  long long end = header_end(&b);
  if (b.size < end) {
    /* SDL would read the fields it misses from past the file's end */
    snprintf(why, sizeof why, "%lld bytes, too few for a bitmap's header",
             b.size);
    return why;
  }
  end = 14 + std::max(b.header, b.core ? 12LL : 40LL) + palette_bytes(&b);
  if (b.size < end) {
    snprintf(why, sizeof why, "%lld bytes, too few for its %lld colours",
             b.size, palette_bytes(&b) / (b.core ? 3 : 4));
    return why;
  }

  const char *coding = unreadable_coding(&b);
  if (coding) {
    snprintf(why, sizeof why, "%s, which SDL cannot read", coding);
    return why;
  }
  if (b.bits == 48 || b.bits == 64) {
    snprintf(why, sizeof why, "%lld bits a pixel, which SDL cannot draw",
             b.bits);
    return why;
  }
  if (!is_bitmap_depth(b.bits)) {
    snprintf(why, sizeof why, "%lld bits a pixel, which no bitmap has", b.bits);
    return why;
  }
  if (b.w > max_bitmap_side || b.rows > max_bitmap_side) {
    snprintf(why, sizeof why, "%lld x %lld pixels, more than %lld a side", b.w,
             b.rows, max_bitmap_side);
    return why;
  }
  *width = (int)b.w, *height = (int)b.rows;
  if (b.w <= 0 || b.rows == 0 || b.size >= pixels_end(&b))
    return NULL; /* SDL may still refuse it, and say why */
  snprintf(why, sizeof why, "%lld bytes, too few for its %lld x %lld pixels",
           b.size, b.w, b.rows);
  return why;
}

/* The bits a mask holds, as in 5-6-5. */
static int bits_in(Uint32 mask)
{
  int n = 0;
  for (; mask; mask &= mask - 1)
    n++;
  return n;
}

const char *bitmap_kind(SDL_RWops *file)
{
  static char kind[160];
  Bitmap b;
  if (!read_bitmap(file, &b))
    return "not a bitmap";
  int n = snprintf(kind, sizeof kind, "a bitmap of %lld bit%s a pixel", b.bits,
                   b.bits == 1 ? "" : "s");
  const Uint32 *m = b.masks;
  if (b.compression == rle8 || b.compression == rle4)
    snprintf(kind + n, sizeof kind - n, ", run-length encoded (RLE%d)",
             b.compression == rle8 ? 8 : 4);
  else if (b.compression == bit_fields && m[3])
    snprintf(kind + n, sizeof kind - n,
             ", %d-%d-%d-%d bits of red, green, "
             "blue and alpha",
             bits_in(m[0]), bits_in(m[1]), bits_in(m[2]), bits_in(m[3]));
  else if (b.compression == bit_fields)
    snprintf(kind + n, sizeof kind - n,
             ", %d-%d-%d bits of red, green and "
             "blue",
             bits_in(m[0]), bits_in(m[1]), bits_in(m[2]));
  else if (b.w > 0 && b.size < b.offset + row_bytes(&b) * b.rows)
    snprintf(kind + n, sizeof kind - n, ", its last row without padding");
  return kind;
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
