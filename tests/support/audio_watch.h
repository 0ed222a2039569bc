#ifndef FLUMO_TEST_AUDIO_WATCH_H
#define FLUMO_TEST_AUDIO_WATCH_H

#include "sound/sound_clip.h"

/* The audio device as the program's code uses it in the in-process tests:
   SDL_OpenAudio, SDL_LockAudio and SDL_UnlockAudio go to SDL as ever, and
   each also notes what the program asked for and did. */

/* Where a watched clip stood as the lock was taken and given back, so that
   a test can tell what was changed under it. */
struct AudioLockLog {
  const SoundClip *watched = nullptr;
  int taken = 0;
  Uint8 *cursor_when_taken = nullptr, *cursor_when_given_back = nullptr;
};
extern AudioLockLog audio_lock_log;

/* What the device was asked for, and the buffers its callback was then
   handed, in bytes (read them under the audio lock). */
struct AudioOpenLog {
  SDL_AudioSpec asked = {};
  bool format_taken = false; /* a record for the format SDL grants was given */
  int callbacks = 0, shortest = 0, longest = 0;
};
extern AudioOpenLog audio_open_log;

#endif
