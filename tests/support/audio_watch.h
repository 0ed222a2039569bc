#ifndef FLUMO_TEST_AUDIO_LOCK_H
#define FLUMO_TEST_AUDIO_LOCK_H

#include "sound/sound_clip.h"

/* The audio lock as the program's code takes it in the in-process tests:
   SDL_LockAudio and SDL_UnlockAudio go to SDL as ever, and each also
   notes where a watched clip stood as the lock was taken and given back,
   so that a test can tell what was changed under it. */
struct AudioLockLog {
  const SoundClip *watched = nullptr;
  int taken = 0;
  Uint8 *cursor_when_taken = nullptr, *cursor_when_given_back = nullptr;
};
extern AudioLockLog audio_lock_log;

#endif
