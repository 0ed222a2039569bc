#include "support/audio_lock.h"

#include <dlfcn.h>

AudioLockLog audio_lock_log;

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
