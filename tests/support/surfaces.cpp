#include "support/surfaces.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/app_state.h"
#include "support/process.h"

Runtime runtime(void)
{
  if (under_wine() || SDL_Linked_Version()->patch < 50)
    return classic_sdl; /* sdl12-compat counts its versions from 1.2.50 */
  /* the layers below load with it */
  bool sdl3 = dlopen("libSDL3.so.0", RTLD_LAZY | RTLD_NOLOAD) != nullptr;
  return sdl3 ? compat_over_sdl3 : compat_over_sdl2;
}

bool on_sdl12_compat(void)
{
  return runtime() != classic_sdl;
}

Uint32 pixel(SDL_Surface *s, int x, int y)
{
  Uint8 r, g, b;
  Uint8 *row = (Uint8 *)s->pixels + y * s->pitch;
  Uint32 value = 0;
  memcpy(&value, row + x * s->format->BytesPerPixel, s->format->BytesPerPixel);
  SDL_GetRGB(value, s->format, &r, &g, &b);
  return (Uint32)r << 16 | g << 8 | b;
}

/* The colours a blit into the window gives, which for fewer than eight
   bits a channel need not be what SDL_GetRGB says. Takes s over. */
static SDL_Surface *as_window_pixels(SDL_Surface *s)
{
  SDL_Surface *out = solid_surface(s->w, s->h, 0);
  SDL_BlitSurface(s, NULL, out, NULL);
  SDL_FreeSurface(s);
  return out;
}

std::vector<Uint32> composed(const std::string &dir,
                             const std::string &background, int count)
{
  SDL_Surface *normal = SDL_LoadBMP((dir + "/" + normal_bmp).c_str());
  SDL_Surface *bg =
      as_window_pixels(SDL_LoadBMP((dir + "/" + background).c_str()));
  SDL_Surface *digits =
      as_window_pixels(SDL_LoadBMP((dir + "/" + digits_bmp).c_str()));
  const CounterPlace &k = counter;
  std::vector<Uint32> out;
  int row = count == max_count;
  for (int y = 0; y < normal->h; y++)
    for (int x = 0; x < normal->w; x++) {
      Uint32 c = x < bg->w && y < bg->h ? pixel(bg, x, y) : 0;
      int dy = y - k.y, cell = -1, dx = 0;
      if (x >= k.ones_x && x < k.ones_x + k.cell_w)
        cell = count % 10, dx = x - k.ones_x;
      else if (x >= k.tens_x && x < k.tens_x + k.cell_w && count > 9)
        cell = count / 10, dx = x - k.tens_x;
      int sx = k.cell_w * cell + dx, sy = k.cell_h * row + dy;
      if (cell >= 0 && dy >= 0 && dy < k.cell_h && sx < digits->w &&
          sy < digits->h) {
        Uint32 g = pixel(digits, sx, sy);
        if (g != 0)
          c = g;
      }
      out.push_back(c);
    }
  SDL_FreeSurface(normal);
  SDL_FreeSurface(bg);
  SDL_FreeSurface(digits);
  return out;
}

SDL_Surface *solid_surface(int w, int h, Uint32 rgb)
{
  SDL_Surface *s =
      SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xff0000, 0xff00, 0xff, 0);
  SDL_FillRect(s, NULL,
               SDL_MapRGB(s->format, rgb >> 16, rgb >> 8 & 0xff, rgb & 0xff));
  return s;
}

Uint32 glyph_rgb(int d, int row)
{
  return (Uint32)(20 + 20 * d) << 16 | (Uint32)(90 + 100 * row) << 8 | 7;
}

/* 24 bits a pixel, unlike the window, so the blit converts as it goes. */
SDL_Surface *fake_digit_strip(void)
{
  const CounterPlace &k = counter;
  SDL_Surface *s =
      SDL_CreateRGBSurface(SDL_SWSURFACE, 10 * k.cell_w, 2 * k.cell_h, 24,
                           0xff0000, 0xff00, 0xff, 0);
  for (int row = 0; row < 2; row++)
    for (int d = 0; d < 10; d++) {
      Uint32 c = glyph_rgb(d, row);
      SDL_Rect cell = {(Sint16)(k.cell_w * d), (Sint16)(k.cell_h * row),
                       (Uint16)k.cell_w, (Uint16)k.cell_h};
      SDL_FillRect(s, &cell,
                   SDL_MapRGB(s->format, c >> 16, c >> 8 & 0xff, c & 0xff));
      SDL_Rect hole = {(Sint16)(cell.x + hole_x), (Sint16)(cell.y + hole_y),
                       hole_size, hole_size};
      SDL_FillRect(s, &hole, 0);
    }
  SDL_SetColorKey(s, SDL_SRCCOLORKEY, SDL_MapRGB(s->format, 0, 0, 0));
  return s;
}

void DrawingTest::SetUp()
{
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  app.screen = SDL_SetVideoMode(window_w, window_h, 32, SDL_SWSURFACE);
  ASSERT_NE(app.screen, nullptr) << SDL_GetError();
  app.normal_image = solid_surface(window_w, window_h, normal_rgb);
  app.push_image = solid_surface(window_w, window_h, push_rgb);
  app.digits_image = fake_digit_strip();
  app.count = 0;
  app.ready = 1;
}

void DrawingTest::TearDown()
{
  SDL_FreeSurface(app.normal_image);
  SDL_FreeSurface(app.push_image);
  SDL_FreeSurface(app.digits_image);
  app = AppState();
  SDL_Quit();
}

void DrawingTest::expect_glyph(int x, int digit, int row, Uint32 background)
{
  int wrong = 0;
  for (int dy = 0; dy < counter.cell_h; dy++)
    for (int dx = 0; dx < counter.cell_w; dx++) {
      bool in_hole = dx >= hole_x && dx < hole_x + hole_size && dy >= hole_y &&
                     dy < hole_y + hole_size;
      Uint32 want = in_hole ? background : glyph_rgb(digit, row);
      wrong += pixel(app.screen, x + dx, counter.y + dy) != want;
    }
  EXPECT_EQ(wrong, 0) << "glyph " << digit << " of row " << row << " at x "
                      << x;
}

void DrawingTest::expect_no_glyph(int x, Uint32 background)
{
  int wrong = 0;
  for (int dy = 0; dy < counter.cell_h; dy++)
    for (int dx = 0; dx < counter.cell_w; dx++)
      wrong += pixel(app.screen, x + dx, counter.y + dy) != background;
  EXPECT_EQ(wrong, 0) << "something drawn at x " << x;
}

void DrawingTest::expect_picture(Uint32 background, int n)
{
  const CounterPlace &k = counter;
  int row = n == max_count;
  if (n > 9)
    expect_glyph(k.tens_x, n / 10, row, background);
  else
    expect_no_glyph(k.tens_x, background);
  expect_glyph(k.ones_x, n % 10, row, background);

  int wrong = 0; /* outside the two cells: background only */
  for (int y = 0; y < window_h; y++)
    for (int x = 0; x < window_w; x++) {
      bool in_cell = y >= k.y && y < k.y + k.cell_h &&
                     ((x >= k.tens_x && x < k.tens_x + k.cell_w) ||
                      (x >= k.ones_x && x < k.ones_x + k.cell_w));
      wrong += !in_cell && pixel(app.screen, x, y) != background;
    }
  EXPECT_EQ(wrong, 0) << "pixels outside the counter field";
}
