#include <SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/surfaces.h"

/* The pictures the build draws, held to what the program needs of them. */

namespace
{

SDL_Surface *load(const std::string &name)
{
  return SDL_LoadBMP((std::string(FLUMO_ASSET_DIR "/") + name).c_str());
}

/* Window-format pixels: the blits to the window are plain copies. */
void expect_window_format(SDL_Surface *s)
{
  EXPECT_EQ(s->format->BitsPerPixel, 32);
  EXPECT_EQ(s->format->Rmask, 0xff0000u);
  EXPECT_EQ(s->format->Gmask, 0xff00u);
  EXPECT_EQ(s->format->Bmask, 0xffu);
  EXPECT_EQ(s->format->Amask, 0u);
}

std::vector<Uint32> cell(SDL_Surface *strip, int digit, int row)
{
  std::vector<Uint32> out;
  const CounterPlace &k = counter;
  for (int y = 0; y < k.cell_h; y++)
    for (int x = 0; x < k.cell_w; x++)
      out.push_back(pixel(strip, k.cell_w * digit + x, k.cell_h * row + y));
  return out;
}

} // namespace

TEST(Assets, ButtonPicturesHoldTheCounterFieldAndDifferOnlyInTheButton)
{
  const CounterPlace &k = counter;
  SDL_Surface *normal = load(normal_bmp), *push = load(push_bmp);
  ASSERT_TRUE(normal && push) << SDL_GetError();
  EXPECT_GE(normal->w, k.ones_x + k.cell_w);
  EXPECT_GE(normal->h, k.y + k.cell_h);
  EXPECT_EQ(push->w, normal->w);
  EXPECT_EQ(push->h, normal->h);
  expect_window_format(normal);
  expect_window_format(push);

  int field_changes = 0, other_changes = 0;
  for (int y = 0; y < normal->h; y++)
    for (int x = 0; x < normal->w; x++) {
      bool field = x >= k.tens_x && x < k.ones_x + k.cell_w && y >= k.y &&
                   y < k.y + k.cell_h;
      bool differs = pixel(normal, x, y) != pixel(push, x, y);
      (field ? field_changes : other_changes) += differs;
    }
  EXPECT_EQ(field_changes, 0) << "pressing must not move the counter's display";
  EXPECT_GT(other_changes, 1000) << "the pressed button hardly differs";
  SDL_FreeSurface(normal);
  SDL_FreeSurface(push);
}

TEST(Assets, DigitStripHasTenDistinctGlyphsInTwoStylesOnBlack)
{
  const CounterPlace &k = counter;
  SDL_Surface *strip = load(digits_bmp);
  ASSERT_TRUE(strip) << SDL_GetError();
  EXPECT_EQ(strip->w, 10 * k.cell_w);
  EXPECT_EQ(strip->h, 2 * k.cell_h);
  expect_window_format(strip);

  std::set<std::vector<Uint32>> seen;
  for (int row = 0; row < 2; row++)
    for (int d = 0; d < 10; d++) {
      SCOPED_TRACE(testing::Message() << "digit " << d << " row " << row);
      std::vector<Uint32> c = cell(strip, d, row);
      int lit = 0;
      for (Uint32 p : c)
        lit += p != 0;
      EXPECT_GT(lit, 80) << "glyph too faint";
      /* keyed-out black around the glyph; the ceiling's glow takes more */
      EXPECT_LT(lit, k.cell_w * k.cell_h * (row ? 9 : 5) / 10)
          << "glyph fills its cell";
      int at_edge = 0; /* a glyph cut off by its cell would show a hard edge */
      for (int y = 0; y < k.cell_h; y++)
        for (int x : {0, k.cell_w - 1}) {
          Uint32 p = pixel(strip, k.cell_w * d + x, k.cell_h * row + y);
          at_edge +=
              (p >> 16) > 0x40 || (p >> 8 & 0xff) > 0x40 || (p & 0xff) > 0x40;
        }
      EXPECT_EQ(at_edge, 0);
      EXPECT_TRUE(seen.insert(c).second) << "same as another cell";
    }
  /* the ceiling's style is not the same colour as the ordinary one */
  int mid_x = k.cell_w * 8 + k.cell_w / 2, mid_y = k.cell_h / 2;
  EXPECT_NE(pixel(strip, mid_x, mid_y), pixel(strip, mid_x, k.cell_h + mid_y));
  SDL_FreeSurface(strip);
}

TEST(Assets, IconIsThirtyTwoSquare)
{
  SDL_Surface *icon = load(icon_bmp);
  ASSERT_TRUE(icon) << SDL_GetError();
  EXPECT_EQ(icon->w, 32);
  EXPECT_EQ(icon->h, 32);
  SDL_FreeSurface(icon);
}
