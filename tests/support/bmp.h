#ifndef FLUMO_TEST_BMP_H
#define FLUMO_TEST_BMP_H

#include <SDL.h>

#include <string>
#include <vector>

/* The picture in a surface, written again as a Windows bitmap of another
   depth: 1, 4 or 8 bits (with a palette, each pixel its nearest entry), 16
   (5 bits a channel), 24 or 32 (no masks; the fourth byte of each pixel
   as given, which tools write as 0 or 255). */
std::string encode_bmp(SDL_Surface *picture, int bits, Uint8 fourth = 0);

/* An 8-bit bitmap whose palette holds black twice, first at entry 0 and
   again at entry 255, which is the one the black pixels use. */
std::string encode_bmp_with_late_black(SDL_Surface *picture);

/* An 8-bit bitmap whose palette has no black: black pixels become its
   darkest entry, dark grey. */
std::string encode_bmp_without_black(SDL_Surface *picture);

#endif
