#ifndef FLUMO_UTIL_H
#define FLUMO_UTIL_H

#include <SDL.h>

/* SDL's reason for the failure it just reported, or ours where it gave
   none (SDL 3 gives none for some). Each call it explains starts with a
   clear error, so that no earlier reason stands in for a missing one. */
inline const char *reason(const char *otherwise)
{
  const char *sdl = SDL_GetError();
  return sdl && *sdl ? sdl : otherwise;
}

#endif
