#ifndef FLUMO_TEST_BMP_H
#define FLUMO_TEST_BMP_H

#include <SDL.h>

#include <string>
#include <vector>

/* How a bitmap is laid out: rows top-down (a negative height) instead of
   bottom-up; colour masks (16 bits as 5-6-5; 32 bits with an alpha mask
   too, in a version 4 header); run-length encoded (8 and 4 bits, rows
   bottom-up); and the fourth byte of each 32-bit pixel, which tools write
   as 0 or 255. */
struct BmpForm {
  bool top_down = false, masks = false, rle = false;
  Uint8 fourth = 0;
};

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
