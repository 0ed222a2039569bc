#ifndef FLUMO_FILES_HEADERS_H
#define FLUMO_FILES_HEADERS_H

#include <SDL.h>

/* What files/ reads of a file's header before SDL's loader sees it. */

/* NULL when the bitmap file may be given to SDL's loader, or why not, in
   a few words: a header that asks for more than SDL can draw or the file
   holds. The size SDL would make of it goes to width and height (0 where
   the header does not say). Leaves the file where it was found. */
const char *bitmap_fault(SDL_RWops *file, int *width, int *height);
/* Gives the surface SDL made of the bitmap at the file's place the colours
   its palette holds, where SDL may have read them from elsewhere. */
void use_file_palette(SDL_RWops *file, SDL_Surface *surface);

#endif
