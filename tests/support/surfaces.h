#ifndef FLUMO_TEST_SURFACES_H
#define FLUMO_TEST_SURFACES_H

#include <SDL.h>

#include "support/events.h"
#include <gtest/gtest.h>

#include <string>
#include <vector>

/* Pictures made in memory, with colours that say where each pixel came
   from, and a window on SDL's dummy video driver to draw them into. */

const int window_w = 120, window_h = 180;
const Uint32 normal_rgb = 0x3060a0, push_rgb = 0xc04020;

/* The counter's place, as the manual page tells a user who draws their
   own pictures: the tens digit's cell at (29, 112) in the window, the ones
   digit's at (60, 112), each 29 x 50, copied from a strip of ten such
   cells a row, the top row below the ceiling (max_count), the bottom one
   at it. The tests' own record of it. */
struct CounterPlace {
  int tens_x, ones_x, y, cell_w, cell_h;
};
const CounterPlace counter = {29, 60, 112, 29, 50};

/* The forms of SDL 1.2 the program runs on, which read some files
   differently: the classic library (which the Windows build carries), and
   sdl12-compat, SDL 1.2 rebuilt over SDL2, or over SDL 3 (through
   sdl2-compat, as in forky). */
enum Runtime { classic_sdl, compat_over_sdl2, compat_over_sdl3 };
Runtime runtime(void);
/* True when the program runs on sdl12-compat. */
bool on_sdl12_compat(void);

Uint32 pixel(SDL_Surface *s, int x, int y); /* as 0xRRGGBB */

/* The picture the window shows: the background bitmap from folder dir,
   clipped to the resting bitmap's size, with the counter's glyphs copied
   over it where the strip is not black and reaches. As 0xRRGGBB, by rows. */
std::vector<Uint32> composed(const std::string &dir,
                             const std::string &background, int count);

SDL_Surface *solid_surface(int w, int h, Uint32 rgb);

/* The colour of the digit strip's cell for digit d in the given row. Each
   cell has a black hole at (hole_x, hole_y) that must stay transparent. */
Uint32 glyph_rgb(int d, int row);
const int hole_x = 10, hole_y = 20, hole_size = 6;
SDL_Surface *fake_digit_strip(void);

/* Opens the dummy window and fills AppState with fake pictures. */
class DrawingTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;
  /* Every pixel of the counter's cell at x shows the glyph cell (digit,
     row), or, where the strip is black, the background colour. */
  void expect_glyph(int x, int digit, int row, Uint32 background);
  /* Nothing drawn in the counter's cell at x: only the background. */
  void expect_no_glyph(int x, Uint32 background);
  /* The picture is background plus the counter showing n, nothing else. */
  void expect_picture(Uint32 background, int n);
};

#endif
