#ifndef FLUMO_TEST_EVENTS_H
#define FLUMO_TEST_EVENTS_H

#include <SDL.h>

/* A key going down or up, as SDL 1.2 reports it; for the tests, the fuzz
   targets and the benchmarks, which push such events into the program's
   own pump. */
inline SDL_Event key_event(Uint8 type, SDLKey sym, SDLMod mod = KMOD_NONE)
{
  SDL_Event e = {};
  e.type = e.key.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  return e;
}

#endif
