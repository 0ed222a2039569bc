#ifndef FLUMO_SOUND_CLIP_H
#define FLUMO_SOUND_CLIP_H

#include <SDL.h>

#include "settings.h"

/* The one clip and where playing has got to in it. Once the device is open
   the audio thread reads cursor and remaining; the main thread changes them
   only with the device paused and locked. */
struct SoundClip {
  SDL_AudioSpec spec; /* the file's own format, as loaded */
  Uint8 *buffer;      /* the samples in the device format below */
  Uint32 remaining;   /* bytes not yet mixed */
  Uint32 length;      /* bytes in all */
  Uint8 *cursor;      /* the next byte to mix */
};

/* The device's sample format (settings.h), as SDL names it. */
const Uint16 clip_format = AUDIO_S16LSB;
static_assert(clip_bits == 16, "clip_format says 16 bits");

/* The clip is loaded by files/ (load_sound_clip); this releases it. */
void free_sound_clip(SoundClip *clip);

/* The device keeps clip's address until SDL_CloseAudio: it must not move. */
void open_audio(SoundClip *clip);
void mix_clip(void *userdata, Uint8 *stream, int len);
void play_clip(SoundClip *clip);

#endif
