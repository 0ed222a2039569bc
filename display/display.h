#ifndef FLUMO_DISPLAY_H
#define FLUMO_DISPLAY_H

#include <SDL.h>

#include "settings.h"

/* Paints background, then the counter, and pushes the whole window. */
void redraw(SDL_Surface *background);

/* Draws n (0 to max_count) into the window surface from the digit strip. */
void draw_counter(int n);

#endif
