/* Names the SDL 1.2 library the loader finds, by what it reports of
   itself: sdl12-compat counts its versions from 1.2.50. With --over-sdl3,
   tells by its status instead whether SDL 3 is what runs underneath (as
   sdl12-compat over sdl2-compat), which opens Wayland windows first. */

#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
  if (argc > 1 && strcmp(argv[1], "--over-sdl3") == 0) {
    SDL_Init(0); /* whatever the layers load, they have loaded now */
    bool sdl3 = dlopen("libSDL3.so.0", RTLD_LAZY | RTLD_NOLOAD) != nullptr;
    SDL_Quit();
    return sdl3 ? 0 : 1;
  }
  const SDL_version *v = SDL_Linked_Version();
  printf("%s-%d.%d.%d\n", v->patch >= 50 ? "compat" : "classic", v->major,
         v->minor, v->patch);
  return 0;
}
