#include "support/bmp.h"

#include "support/surfaces.h"

namespace
{

void put(std::string &out, Uint32 v, int bytes)
{
  for (int i = 0; i < bytes; i++)
    out += char(v >> 8 * i & 0xff);
}

int nearest(const std::vector<Uint32> &palette, Uint32 rgb)
{
  int best = 0;
  long best_d = -1;
  for (size_t i = 0; i < palette.size(); i++) {
    long d = 0;
    for (int s = 0; s < 24; s += 8) {
      long a = rgb >> s & 0xff, b = palette[i] >> s & 0xff;
      d += (a - b) * (a - b);
    }
    if (best_d < 0 || d < best_d)
      best = int(i), best_d = d;
  }
  return best;
}

std::vector<Uint32> palette_for(int bits)
{
  std::vector<Uint32> p;
  if (bits == 1)
    return {0x000000, 0xffffff};
  if (bits == 4) {
    for (Uint32 i = 0; i < 16; i++) /* two levels a channel, and greys */
      p.push_back(i < 8 ? (i & 4 ? 0xc00000 : 0) | (i & 2 ? 0xc000 : 0) |
                              (i & 1 ? 0xc0 : 0)
                        : (i - 8) * 0x242424 + 0x3f3f3f);
    return p;
  }
  for (Uint32 r = 0; r < 6; r++) /* a colour cube and greys */
    for (Uint32 g = 0; g < 6; g++)
      for (Uint32 b = 0; b < 6; b++)
        p.push_back(r * 51 << 16 | g * 51 << 8 | b * 51);
  while (p.size() < 256)
    p.push_back(Uint32(p.size() - 216) * 0x060606);
  return p;
}

/* An 8-bit channel's value in the bits of mask. */
Uint32 scaled(Uint32 value, Uint32 mask)
{
  int shift = 0, width = 0;
  while (mask && !(mask >> shift & 1))
    shift++;
  while (mask >> (shift + width) & 1)
    width++;
  return (value & 0xff) >> (8 - width) << shift;
}

/* One row of palette entries, run-length encoded: runs of one entry,
   then the row's end. */
std::string rle_row(const int *index, int w, int bits)
{
  std::string out;
  for (int x = 0; x < w;) {
    int n = 1;
    while (x + n < w && n < 255 && index[x + n] == index[x])
      n++;
    out += char(n);
    out += char(bits == 4 ? index[x] * 0x11 : index[x]);
    x += n;
  }
  return out + std::string("\0\0", 2);
}

/* The header fields from the width on, as a header of `info` bytes holds
   them; compression and the palette's length where it has room. */
std::string info_header(Uint32 info, int w, int height, int bits,
                        Uint32 compression, Uint32 image, Uint32 colours)
{
  std::string out;
  put(out, info, 4);
  int side = info == 12 ? 2 : 4; /* OS/2 1.x: 16-bit sides */
  put(out, Uint32(w), side), put(out, Uint32(height), side);
  put(out, 1, 2), put(out, Uint32(bits), 2);
  if (info >= 40) {
    put(out, compression, 4), put(out, image, 4);
    put(out, 2835, 4), put(out, 2835, 4), put(out, colours, 4);
    put(out, 0, 4);
  }
  return out;
}

/* `indices` gives a palette entry for each pixel when there is a palette;
   without one, each pixel's bytes come from its colour. */
std::string encode(SDL_Surface *s, int bits, const std::vector<Uint32> &palette,
                   const std::vector<int> &indices, BmpForm form)
{
  Uint32 info = form.header ? form.header : form.masks && bits == 32 ? 108 : 40;
  bool inner_masks = form.masks && info >= 52; /* Windows' v2 headers on */
  bool fields = form.masks && !inner_masks;    /* after a 40-byte header */
  Uint32 entry = info == 12 ? 3 : 4, row = (Uint32(s->w) * bits + 31) / 32 * 4;
  Uint32 offset = 14 + info + (fields ? 12 : 0) +
                  entry * Uint32(palette.size()) + (form.apart ? 12 : 0);
  std::string pixels;
  for (int i = 0; i < s->h; i++) {
    int y = form.top_down ? i : s->h - 1 - i;
    if (form.rle) {
      pixels += rle_row(&indices[size_t(y) * s->w], s->w, bits);
      continue;
    }
    std::string line;
    Uint32 acc = 0;
    int filled = 0;
    for (int x = 0; x < s->w; x++) {
      Uint32 c = pixel(s, x, y);
      if (bits == 16 && form.masks) {
        put(line,
            scaled(c >> 16, form.red) | scaled(c >> 8, form.green) |
                scaled(c, form.blue) | form.alpha,
            2);
      } else if (bits == 16) {
        put(line, (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31),
            2);
      } else if (bits >= 24) {
        put(line, c | Uint32(form.fourth) << 24, bits / 8);
      } else {
        acc = acc << bits | Uint32(indices[size_t(y) * s->w + x]);
        if ((filled += bits) == 8) {
          line += char(acc);
          acc = 0, filled = 0;
        }
      }
    }
    if (filled)
      line += char(acc << (8 - filled));
    line.resize(row, '\0');
    pixels += line;
  }
  if (form.rle)
    pixels += std::string("\0\1", 2);

  Uint32 compression = form.rle ? (bits == 8 ? 1 : 2) : form.masks ? 3 : 0;
  int height = form.top_down ? -s->h : s->h;
  std::string out = "BM";
  put(out, offset + Uint32(pixels.size()), 4), put(out, 0, 4);
  put(out, offset, 4);
  out += info_header(info, s->w, height, bits, compression,
                     Uint32(pixels.size()), Uint32(palette.size()));
  if (form.masks) {
    if (bits == 16)
      put(out, form.red, 4), put(out, form.green, 4), put(out, form.blue, 4);
    else
      put(out, 0xff0000, 4), put(out, 0xff00, 4), put(out, 0xff, 4);
  }
  if (inner_masks) {
    put(out, bits == 32 ? 0xff000000 : form.alpha, 4);
    if (info >= 108)
      put(out, 0x73524742, 4); /* "sRGB" */
  }
  out.resize(14 + info + (fields ? 12 : 0), '\0');
  for (Uint32 c : palette)
    put(out, c, int(entry));
  if (form.apart && bits == 16)
    put(out, 0x7c00, 4), put(out, 0x03e0, 4), put(out, 0x001f, 4);
  else if (form.apart && bits == 32)
    put(out, 0xff0000, 4), put(out, 0xff00, 4), put(out, 0xff, 4);
  out.resize(offset, '\0');
  return out + pixels;
}

std::string encode_indexed(SDL_Surface *s, const std::vector<Uint32> &palette,
                           int black_index)
{
  std::vector<int> indices;
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++) {
      Uint32 c = pixel(s, x, y);
      indices.push_back(c == 0 && black_index >= 0 ? black_index
                                                   : nearest(palette, c));
    }
  return encode(s, 8, palette, indices, {});
}

} // namespace

std::string encode_bmp(SDL_Surface *s, int bits, BmpForm form)
{
  if (bits > 8)
    return encode(s, bits, {}, {}, form);
  std::vector<Uint32> palette = palette_for(bits);
  std::vector<int> indices;
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++)
      indices.push_back(nearest(palette, pixel(s, x, y)));
  return encode(s, bits, palette, indices, form);
}

std::string encode_bmp_with_late_black(SDL_Surface *s)
{
  std::vector<Uint32> palette = palette_for(8);
  palette[255] = 0x000000; /* entry 0 is black already */
  return encode_indexed(s, palette, 255);
}

std::string encode_bmp_without_black(SDL_Surface *s)
{
  std::vector<Uint32> palette = palette_for(8);
  for (Uint32 &c : palette)
    if (c == 0)
      c = 0x202020;
  return encode_indexed(s, palette, -1);
}
