/* Names the SDL 1.2 library the loader finds, by what it reports of
   itself: sdl12-compat counts its versions from 1.2.50. */

#include <SDL.h>

#include <cstdio>

int main(int, char **)
{
  const SDL_version *v = SDL_Linked_Version();
  printf("%s-%d.%d.%d\n", v->patch >= 50 ? "compat" : "classic", v->major,
         v->minor, v->patch);
  return 0;
}
