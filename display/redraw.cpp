#include "app/app_state.h"
#include "display/display.h"

static void draw_glyph(int digit, int row, int x)
{
  SDL_Rect from = {(Sint16)(glyph_w * digit), (Sint16)(glyph_h * row),
                   (Uint16)glyph_w, (Uint16)glyph_h};
  SDL_Rect to = {(Sint16)x, (Sint16)digits_y, (Uint16)glyph_w, (Uint16)glyph_h};
  SDL_BlitSurface(app.digits_image, &from, app.screen, &to);
}

void draw_counter(int n)
{
  int row = n == max_count ? 1 : 0;

  if (n > 9)
    draw_glyph(n / 10, row, tens_x);
  draw_glyph(n % 10, row, ones_x);
}

void redraw(SDL_Surface *background)
{
  SDL_BlitSurface(background, NULL, app.screen, NULL);
  draw_counter(app.count);
  SDL_UpdateRect(app.screen, 0, 0, 0, 0);
}
