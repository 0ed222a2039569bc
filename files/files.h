#ifndef FLUMO_FILES_H
#define FLUMO_FILES_H

#include <SDL.h>

#include "settings.h"
#include "sound/sound_clip.h"

/* What start-up reads from the folder it starts in: the one place where a
   file's bytes are believed. Each header is read here before SDL's loader
   believes it. A bitmap or a clip that cannot be used ends the program
   with a line naming the file and saying why, before anything uses it;
   the icon is left out. */

/* The pictures (pictures.cpp): none is larger than the screen, measured
   first. */
void measure_screen(void);
SDL_Surface *load_bitmap(const char *path);
/* The digit strip, its black keyed out. */
SDL_Surface *load_digit_strip(void);
/* The window's icon, where there is a usable one. */
void set_icon(void);

/* The clip, converted to the device's format (clip.cpp); ends the process
   with clip_failure_status if the file cannot be used. */
SoundClip load_sound_clip(const char *path);

#endif
