/* The bitmaps, fuzzed: each input takes each bitmap's place in turn, the
   pressed and the resting button, the digit strip and the icon, beside the
   program's own other files. The program starts up, draws its first frame,
   counts from 0 past 20 and back to 0 through its own event pump, and
   shuts down as it does at exit. */

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "app/app.h"
#include "app/app_state.h"
#include "as_program.h"
#include "display/display.h"
#include "tests/support/events.h"
#include "tests/support/process.h"

namespace
{

const char *const roles[] = {push_file, normal_file, digits_file, icon_file};
std::string own[4]; /* the program's own file for each role */

void key(Uint8 type, SDLKey sym)
{
  SDL_Event e = key_event(type, sym);
  SDL_PushEvent(&e);
  pump_events();
}

void run_flumo(void)
{
  init_app();
  redraw(app.normal_image);
  for (int press = 0; press <= max_count; press++) {
    key(SDL_KEYDOWN, SDLK_SPACE);
    key(SDL_KEYUP, SDLK_SPACE);
  }
  key(SDL_KEYDOWN, SDLK_ESCAPE);
  key(SDL_KEYUP, SDLK_ESCAPE);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
  setenv("SDL_VIDEODRIVER", "dummy", 0); /* a display may be given instead */
  enter_asset_folder(argc, argv);
  /* no sound device, so that shutting down waits for no audio thread */
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "no/such/folder/out.raw", 1);
  for (int r = 0; r < 4; r++)
    own[r] = read_file(roles[r]);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  for (int r = 0; r < 4; r++) {
    write_file(roles[r], std::string((const char *)data, size));
    run_as_program(run_flumo);
    write_file(roles[r], own[r]);
  }
  return 0;
}
