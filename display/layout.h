#ifndef FLUMO_LAYOUT_H
#define FLUMO_LAYOUT_H

/* Where the counter stands in the window, and the digit strip it is drawn
   from. (No SDL here: the generator draws the pictures to fit.) */

/* The strip: one cell per digit, 0 to 9 left to right; the first row
   serves every count below the ceiling, the second the ceiling itself.
   Nothing of the strip outside its cells is ever drawn. */
const int glyph_w = 29;
const int glyph_h = 50;
const int strip_w = 10 * glyph_w;
const int strip_h = 2 * glyph_h;

/* The two digits' cells in the window. The ones digit never moves, so a
   one-digit count is right-aligned, with no leading zero. */
const int tens_x = 29;
const int ones_x = 60;
const int digits_y = 112;

#endif
