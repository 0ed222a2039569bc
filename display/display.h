#ifndef FLUMO_DISPLAY_H
#define FLUMO_DISPLAY_H

#include <SDL.h>

/* The digit strip: one cell per digit, 0 to 9 left to right; the first row
   serves every count below the ceiling, the second the ceiling itself.
   Nothing of the strip outside its cells is ever drawn. */
const int glyph_w = 29;
const int glyph_h = 50;
const int strip_w = 10 * glyph_w;
const int strip_h = 2 * glyph_h;

/* Paints background, then the counter, and pushes the whole window. */
void redraw(SDL_Surface *background);

/* Draws n (0 to 20) into the window surface from the digit strip. */
void draw_counter(int n);

#endif
