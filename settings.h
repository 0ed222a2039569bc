#ifndef FLUMO_SETTINGS_H
#define FLUMO_SETTINGS_H

/* What flumo is, in one place: the program reads these, and so do the
   generator that draws its files, the tests, benchmarks and fuzz targets,
   and the web and Windows builds. No SDL here, which the generator does
   without. A change here is a change of the toy: its pictures, its manual
   page and its tests' scenarios say the same.

   Some read it as text, a line at a time: CMakeLists.txt the caption, the
   ceiling and the five files' names (for the web page, the package, the
   metainfo and the Windows README); tools/run.sh, web/tests/page.mjs and
   windows/package_test.sh the caption or the names. Each stops with an
   error when its line is not found: keep each of these on one line, as it
   is written here. */

/* The window's title, and its icon's. */
const char caption[] = "flumo for SDL";

/* The counter stops here; the count at the ceiling is drawn from the
   strip's second row. */
const int max_count = 20;

/* The files flumo reads from the folder it starts in. */
const char push_file[] = "flumo_push.bmp";     /* the button pressed */
const char normal_file[] = "flumo_normal.bmp"; /* at rest: the window's size */
const char digits_file[] = "flumo_num.bmp";    /* the digit strip */
const char icon_file[] = "flumo_icon.bmp";     /* the window icon, optional */
const char clip_file[] = "flumo.wav";          /* the click */

/* The statuses a start-up failure ends it with: SDL, the window or a
   bitmap; the clip (a shell sees 255). */
const int failure_status = 1;
const int clip_failure_status = -1;

/* The digit strip: one cell per digit, 0 to 9 left to right; the first
   row serves every count below the ceiling, the second the ceiling itself.
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

/* What the sound device is asked for, and what every clip is converted
   to: signed 16-bit little-endian samples (SDL's AUDIO_S16LSB), one
   channel, played 4096 frames a buffer. The generator writes the click
   in this format, which the program then keeps as it is. */
const int clip_rate = 44100;
const int clip_bits = 16;
const int clip_channels = 1;
const int clip_buffer_frames = 4096;

#endif
