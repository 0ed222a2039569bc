#ifndef FLUMO_TEST_BMP_H
#define FLUMO_TEST_BMP_H

#include <SDL.h>

#include <string>
#include <vector>

/* How a bitmap is laid out: rows top-down (a negative height) instead of
   bottom-up; colour masks (16 bits as 5-6-5; 32 bits with an alpha mask
   too, in a version 4 header); run-length encoded (8 and 4 bits, rows
   bottom-up); the fourth byte of each 32-bit pixel, which tools write as
   0 or 255; and the length of its info header, where not Windows' 40 (or
   108 for 32-bit masks): 12 (OS/2 1.x: 16-bit sides, palette entries of
   3 bytes, no compression), 16 or 64 (OS/2 2.x), 108 or 124 (Windows'
   versions 4 and 5, which hold the masks; 56, version 3, as GIMP writes);
   whether the pixels lie apart from the header, past 12 bytes that hold
   the masks of 16 or 32 bits a pixel as they are by default; and the
   masks of 16 bits a pixel with masks, where not 5-6-5, the alpha bits
   (written where the header has room for them) all set. */
struct BmpForm {
  bool top_down = false, masks = false, rle = false;
  Uint8 fourth = 0;
  Uint32 header = 0;
  bool apart = false;
  Uint32 red = 0xf800, green = 0x07e0, blue = 0x001f, alpha = 0;
};
const Uint32 bmp_headers[] = {12, 16, 64, 40, 56, 108, 124};

/* The picture in a surface, written again as a Windows bitmap of another
   depth: 1, 4 or 8 bits (with a palette, each pixel its nearest entry), 16
   (5 bits a channel unless masks say otherwise), 24 or 32. */
std::string encode_bmp(SDL_Surface *picture, int bits, BmpForm form = {});

/* An 8-bit bitmap whose palette holds black twice, first at entry 0 and
   again at entry 255, which is the one the black pixels use. */
std::string encode_bmp_with_late_black(SDL_Surface *picture);

/* An 8-bit bitmap whose palette has no black: black pixels become its
   darkest entry, dark grey. */
std::string encode_bmp_without_black(SDL_Surface *picture);

#endif
