/* The clip, fuzzed: each input is loaded as flumo.wav and converted, mixed
   to its end in pieces the size of the device's buffer, started again and
   mixed to its end once more, and released. */

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "as_program.h"
#include "files/files.h"
#include "settings.h"
#include "tests/support/process.h"

namespace
{

void mix_to_the_end(SoundClip *clip)
{
  static Uint8 stream[clip_buffer_frames * 2];
  while (clip->remaining > 0) {
    SDL_memset(stream, 0, sizeof stream);
    mix_clip(clip, stream, sizeof stream);
  }
}

void play_flumo_wav(void)
{
  SoundClip clip = load_sound_clip(clip_file);
  mix_to_the_end(&clip);
  play_clip(&clip);
  mix_to_the_end(&clip);
  free_sound_clip(&clip);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  enter_asset_folder(argc, argv);
  return SDL_Init(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  write_file(clip_file, std::string((const char *)data, size));
  run_as_program(play_flumo_wav);
  return 0;
}
