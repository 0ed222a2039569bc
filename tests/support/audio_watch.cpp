#include "support/audio_watch.h"

#include <dlfcn.h>

#include <algorithm>

AudioLockLog audio_lock_log;
AudioOpenLog audio_open_log;

/* Defined in the test program, these take the place of SDL's for the
   program's code linked into it; SDL's own are called through. */
extern "C" void SDL_LockAudio(void)
{
  static auto real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_LockAudio");
  real();
  audio_lock_log.taken++;
  if (audio_lock_log.watched)
    audio_lock_log.cursor_when_taken = audio_lock_log.watched->cursor;
}

extern "C" void SDL_UnlockAudio(void)
{
  static auto real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_UnlockAudio");
  if (audio_lock_log.watched)
    audio_lock_log.cursor_when_given_back = audio_lock_log.watched->cursor;
  real();
}

static void (*program_callback)(void *, Uint8 *, int);

/* On the audio thread, under the audio lock. */
static void watched_callback(void *userdata, Uint8 *stream, int len)
{
  AudioOpenLog &log = audio_open_log;
  log.shortest = log.callbacks ? std::min(log.shortest, len) : len;
  log.longest = log.callbacks ? std::max(log.longest, len) : len;
  log.callbacks++;
  program_callback(userdata, stream, len);
}

extern "C" int SDL_OpenAudio(SDL_AudioSpec *desired, SDL_AudioSpec *obtained)
{
  static auto real = (int (*)(SDL_AudioSpec *, SDL_AudioSpec *))dlsym(
      RTLD_NEXT, "SDL_OpenAudio");
  audio_open_log = AudioOpenLog();
  audio_open_log.asked = *desired;
  audio_open_log.format_taken = obtained != nullptr;
  program_callback = desired->callback;
  SDL_AudioSpec spec = *desired;
  spec.callback = watched_callback;
  int result = real(&spec, obtained);
  desired->size = spec.size, desired->silence = spec.silence;
  return result;
}
