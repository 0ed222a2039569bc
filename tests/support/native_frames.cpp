/* Writes the pictures the native program draws from the five files in a
   folder, for the tests of another platform to compare with: the resting
   and the pressed button with each count from 0 to 20, as PPM files
   OUT/normal-N.ppm and OUT/push-N.ppm. It runs the program's own start-up
   and drawing, on SDL's dummy video driver. */
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"

static bool write_ppm(const std::string &path, SDL_Surface *s)
{
  FILE *f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  fprintf(f, "P6\n%d %d\n255\n", s->w, s->h);
  for (int y = 0; y < s->h; y++)
    for (int x = 0; x < s->w; x++) {
      Uint8 *p = (Uint8 *)s->pixels + (size_t)y * s->pitch + x * 4;
      Uint8 rgb[3];
      SDL_GetRGB(*(Uint32 *)p, s->format, &rgb[0], &rgb[1], &rgb[2]);
      fwrite(rgb, 1, 3, f);
    }
  return fclose(f) == 0;
}

int main(int argc, char *argv[])
{
  if (argc != 3) {
    fprintf(stderr, "usage: native_frames ASSET_DIR OUT_DIR\n");
    return 2;
  }
  char *out = realpath(argv[2], NULL);
  if (!out || chdir(argv[1]) != 0) {
    perror(out ? argv[1] : argv[2]);
    return 1;
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  init_app();
  for (std::string name : {"normal", "push"})
    for (int n = 0; n <= max_count; n++) {
      app.count = n;
      redraw(name == "normal" ? app.normal_image : app.push_image);
      std::string path =
          std::string(out) + "/" + name + "-" + std::to_string(n) + ".ppm";
      if (!write_ppm(path, app.screen)) {
        perror(path.c_str());
        return 1;
      }
    }
  free(out);
  return 0;
}
