/* The least an SDL 1.2 program does to show a window: start SDL as flumo
   does, open a window of the given size, paint it one colour (0x336699),
   and poll events until it is closed. What flumo's start-up and memory are
   measured against. */

#include <SDL.h>

#include <cstdlib>

int main(int argc, char *argv[])
{
  int w = argc > 2 ? atoi(argv[1]) : 240, h = argc > 2 ? atoi(argv[2]) : 190;
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0)
    return 1;
  atexit(SDL_Quit);
  SDL_Surface *screen = SDL_SetVideoMode(w, h, 32, SDL_SWSURFACE);
  if (!screen)
    return 1;
  SDL_FillRect(screen, NULL, SDL_MapRGB(screen->format, 0x33, 0x66, 0x99));
  SDL_UpdateRect(screen, 0, 0, 0, 0);
  for (;;) {
    SDL_Event e;
    while (SDL_PollEvent(&e))
      if (e.type == SDL_QUIT)
        return 0;
  }
}
