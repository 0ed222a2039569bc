#include <gtest/gtest.h>

#include "app/app_state.h"
#include "display/display.h"
#include "support/surfaces.h"

using Redraw = DrawingTest;

TEST_F(Redraw, EachCountTakesItsCellsFromTheRightRow)
{
  for (int n : {0, 1, 9, 10, 11, max_count - 1, max_count}) {
    SCOPED_TRACE(n);
    app.count = n;
    redraw(app.normal_image);
    expect_picture(normal_rgb, n);
  }
}

TEST_F(Redraw, CeilingCellsComeFromTheSecondRow)
{
  app.count = max_count;
  redraw(app.push_image);
  /* the cells of its digits in the bottom row */
  const CounterPlace &k = counter;
  EXPECT_EQ(pixel(app.screen, k.tens_x, k.y),
            pixel(app.digits_image, max_count / 10 * k.cell_w, k.cell_h));
  EXPECT_EQ(pixel(app.screen, k.ones_x, k.y),
            pixel(app.digits_image, max_count % 10 * k.cell_w, k.cell_h));
  expect_picture(push_rgb, max_count);
}

TEST_F(Redraw, BackgroundPaintsOverAnOldTensDigit)
{
  app.count = 15;
  redraw(app.push_image);
  expect_picture(push_rgb, 15);
  app.count = 0;
  redraw(app.normal_image);
  expect_picture(normal_rgb, 0);
}

TEST_F(Redraw, LargerPictureIsClippedAtTheWindowEdge)
{
  SDL_FreeSurface(app.push_image);
  app.push_image = solid_surface(window_w + 80, window_h + 60, push_rgb);
  app.count = 7;
  redraw(app.push_image);
  expect_picture(push_rgb, 7);
}

TEST_F(Redraw, SmallerPictureLeavesTheRestOfThePreviousOne)
{
  SDL_FreeSurface(app.push_image);
  app.push_image = solid_surface(40, 50, push_rgb);
  app.count = 3;
  redraw(app.normal_image);
  redraw(app.push_image);

  EXPECT_EQ(pixel(app.screen, 0, 0), push_rgb);
  EXPECT_EQ(pixel(app.screen, 39, 49), push_rgb);
  EXPECT_EQ(pixel(app.screen, 40, 49), normal_rgb);
  EXPECT_EQ(pixel(app.screen, 39, 50), normal_rgb);
  EXPECT_EQ(pixel(app.screen, window_w - 1, window_h - 1), normal_rgb);
  expect_glyph(counter.ones_x, 3, 0, normal_rgb);
}

TEST_F(Redraw, DrawCounterTouchesOnlyTheCounterField)
{
  SDL_FillRect(app.screen, NULL,
               SDL_MapRGB(app.screen->format, 0x30, 0x60, 0xa0));
  draw_counter(12);
  expect_picture(normal_rgb, 12);
}
