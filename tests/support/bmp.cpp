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

/* Rows bottom-up, each padded to four bytes. `index` gives a palette
   entry for a pixel, `direct` its bytes when there is no palette. */
std::string encode(SDL_Surface *s, int bits, const std::vector<Uint32> &palette,
                   const std::vector<int> &indices, Uint8 fourth = 0)
{
  Uint32 row = (Uint32(s->w) * bits + 31) / 32 * 4, size = row * s->h;
  Uint32 offset = 14 + 40 + 4 * Uint32(palette.size());
  std::string out = "BM";
  put(out, offset + size, 4), put(out, 0, 4), put(out, offset, 4);
  put(out, 40, 4), put(out, s->w, 4), put(out, s->h, 4), put(out, 1, 2);
  put(out, bits, 2), put(out, 0, 4), put(out, size, 4), put(out, 2835, 4);
  put(out, 2835, 4), put(out, Uint32(palette.size()), 4), put(out, 0, 4);
  for (Uint32 c : palette)
    put(out, c, 4);
  for (int y = s->h - 1; y >= 0; y--) {
    std::string line;
    Uint32 acc = 0;
    int filled = 0;
    for (int x = 0; x < s->w; x++) {
      Uint32 c = pixel(s, x, y);
      if (bits == 16) {
        put(line, (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31),
            2);
      } else if (bits >= 24) {
        put(line, c | Uint32(fourth) << 24, bits / 8);
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
    out += line;
  }
  return out;
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
  return encode(s, 8, palette, indices);
}

} // namespace

std::string encode_bmp(SDL_Surface *s, int bits, Uint8 fourth)
{
  if (bits > 8)
    return encode(s, bits, {}, {}, fourth);
  std::vector<Uint32> palette = palette_for(bits);
  std::vector<int> indices;
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++)
      indices.push_back(nearest(palette, pixel(s, x, y)));
  return encode(s, bits, palette, indices);
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
