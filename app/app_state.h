#ifndef FLUMO_APP_STATE_H
#define FLUMO_APP_STATE_H

#include <SDL.h>

#include "sound/sound_clip.h"

/* Everything the program knows, in one record: filled by init_app,
   released by shutdown_app. */
struct AppState {
  SDL_Surface *screen;       /* the window surface; SDL's, never freed here */
  SDL_Surface *push_image;   /* the pressed button */
  SDL_Surface *normal_image; /* the resting button; its size is the window's */
  SDL_Surface *digits_image; /* the digit strip, black keyed out */
  int count;                 /* counted presses, 0 to max_count */
  int ready;                 /* 1: a key press is accepted; 0: one is latched */
  SoundClip clip; /* stays at this address while the device is open */
};

extern AppState app;

#endif
