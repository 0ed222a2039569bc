#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "files/files.h"
#include "files/headers.h"
#include "util.h"

/* The pictures: each bitmap's file opened, its header read before SDL's
   loader believes it, its size held to the screen's, and what SDL makes of
   it; the digit strip keyed, and the icon set. A bitmap the program cannot
   use ends start-up before anything uses it; the icon is left out. */

static void refuse_bitmap(const char *path, const char *why)
{
  fprintf(stderr, "Couldn't load %s: %s\n", path, why);
  exit(failure_status);
}

/* Pictures the window shows are never larger than the screen: it could
   not show more, and what SDL makes of a file, however small, then costs
   no more than the screen does. Where SDL knows no screen (its dummy
   driver), they are bounded as on a 4K one, the largest most desktops
   have. A window's icon is never shown larger than 256 pixels a side. */
static const int unknown_screen_w = 3840, unknown_screen_h = 2160;
static const int max_icon_side = 256;
static int screen_w, screen_h;

void measure_screen(void)
{
  const SDL_VideoInfo *info = SDL_GetVideoInfo();
  bool known = info && info->current_w > 0 && info->current_h > 0;
  screen_w = known ? info->current_w : unknown_screen_w;
  screen_h = known ? info->current_h : unknown_screen_h;
}

/* The bitmap at path, opened and its header read: NULL, and why not in
   *why, for a file SDL cannot load or should not be given; else its size
   in *w and *h. */
static SDL_RWops *open_bitmap(const char *path, int *w, int *h,
                              const char **why)
{
  SDL_ClearError();
  SDL_RWops *file = SDL_RWFromFile(path, "rb");
  if (!file) {
    *why = reason("it cannot be opened");
    return NULL;
  }
  *why = bitmap_fault(file, w, h);
  if (*why) {
    SDL_RWclose(file);
    return NULL;
  }
  return file;
}

/* What SDL makes of an opened bitmap, which is closed then; NULL, and why,
   when it cannot. */
static SDL_Surface *decode_bitmap(SDL_RWops *file, const char **why)
{
  int start = SDL_RWtell(file);
  SDL_ClearError();
  SDL_Surface *surface = SDL_LoadBMP_RW(file, 0);
  bool rewound = SDL_RWseek(file, start, RW_SEEK_SET) == start;
  if (!surface)
    *why = refused_by_sdl(rewound ? bitmap_kind(file) : "a bitmap");
  else if (rewound)
    use_file_palette(file, surface);
  SDL_RWclose(file);
  return surface;
}

SDL_Surface *load_bitmap(const char *path)
{
  static char larger[96];
  int w, h;
  const char *why;
  SDL_RWops *file = open_bitmap(path, &w, &h, &why);
  if (file && (w > screen_w || h > screen_h)) {
    SDL_RWclose(file);
    file = NULL;
    snprintf(larger, sizeof larger,
             "%d x %d pixels, larger than the %d x %d screen", w, h, screen_w,
             screen_h);
    why = larger;
  }
  SDL_Surface *surface = file ? decode_bitmap(file, &why) : NULL;
  if (!surface)
    refuse_bitmap(path, why);
  /* copied opaque, whatever alpha a runtime reads in the fourth byte */
  SDL_SetAlpha(surface, 0, SDL_ALPHA_OPAQUE);
  return surface;
}

/* The colour key matches whole pixel values, so black is keyed out of the
   digit strip only where its pixels hold nothing but red, green and blue.
   A palette strip's black may stand in several entries, or in none, when
   SDL_MapRGB picks the nearest; a fourth byte may be unused but not zero,
   or be read as alpha by one runtime and not by another. Only the strip's
   cells are ever drawn, so only they are looked at. */
static int key_is_reliable(SDL_Surface *strip)
{
  SDL_PixelFormat *f = strip->format;
  if (f->palette || f->Amask)
    return 0;
  if (f->BytesPerPixel != 2 && f->BytesPerPixel != 4)
    return 1; /* 24 bits a pixel: every bit is colour */
  Uint32 stray = ~(f->Rmask | f->Gmask | f->Bmask);
  if (f->BytesPerPixel == 2)
    stray &= 0xffff;
  for (int y = 0; y < strip->h && y < strip_h; y++) {
    Uint8 *row = (Uint8 *)strip->pixels + (size_t)y * strip->pitch;
    for (int x = 0; x < strip->w && x < strip_w; x++)
      if ((f->BytesPerPixel == 2 ? ((Uint16 *)row)[x] : ((Uint32 *)row)[x]) &
          stray)
        return 0;
  }
  return 1;
}

/* The colours of the strip's cells in the window's own 32-bit layout, the
   fourth byte zero; what lies beyond the cells is left out. Takes the
   strip over; NULL when memory runs out. */
static SDL_Surface *plain_copy(SDL_Surface *strip)
{
  SDL_Surface *rgb = SDL_CreateRGBSurface(
      SDL_SWSURFACE, std::min(strip->w, strip_w), std::min(strip->h, strip_h),
      32, 0xff0000, 0xff00, 0xff, 0);
  if (rgb) {
    SDL_SetAlpha(strip, 0, SDL_ALPHA_OPAQUE); /* copy colours, blend nothing */
    SDL_BlitSurface(strip, NULL, rgb, NULL);
    /* a strip already in this layout is copied byte for byte */
    for (int y = 0; y < rgb->h; y++) {
      Uint32 *row = (Uint32 *)((Uint8 *)rgb->pixels + (size_t)y * rgb->pitch);
      for (int x = 0; x < rgb->w; x++)
        row[x] &= 0xffffff;
    }
  }
  SDL_FreeSurface(strip);
  return rgb;
}

SDL_Surface *load_digit_strip(void)
{
  SDL_Surface *strip = load_bitmap(digits_file);
  if (!key_is_reliable(strip) && !(strip = plain_copy(strip)))
    refuse_bitmap(digits_file, reason("out of memory"));
  SDL_SetColorKey(strip, SDL_SRCCOLORKEY, SDL_MapRGB(strip->format, 0, 0, 0));
  return strip;
}

void set_icon(void)
{
  int w, h;
  const char *why;
  SDL_RWops *file = open_bitmap(icon_file, &w, &h, &why);
  if (!file)
    return;
  if (w > max_icon_side || h > max_icon_side) {
    SDL_RWclose(file);
    return;
  }
  SDL_Surface *icon = decode_bitmap(file, &why);
  if (!icon)
    return;
  SDL_WM_SetIcon(icon, NULL);
  SDL_FreeSurface(icon);
}
