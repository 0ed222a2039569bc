#include "sound/sound_clip.h"

void open_audio(SoundClip *clip)
{
  SDL_AudioSpec desired = {};
  desired.freq = clip_rate;
  desired.format = clip_format;
  desired.channels = clip_channels;
  desired.samples = clip_buffer_frames;
  desired.callback = mix_clip;
  desired.userdata = clip;
  /* No second record: SDL converts to whatever the device really takes.
     A device that cannot open leaves the program silent. */
  SDL_OpenAudio(&desired, NULL);
}

/* On the audio thread, with the audio lock held. SDL hands over a buffer
   of silence, so what the clip does not cover stays silent. */
void mix_clip(void *userdata, Uint8 *stream, int len)
{
  SoundClip *clip = (SoundClip *)userdata;
  if (len <= 0)
    return;
  Uint32 n = (Uint32)len < clip->remaining ? (Uint32)len : clip->remaining;
  SDL_MixAudio(stream, clip->cursor, n, SDL_MIX_MAXVOLUME);
  clip->cursor += n;
  clip->remaining -= n;
}

/* One voice: a clip still playing starts again from its beginning. */
void play_clip(SoundClip *clip)
{
  SDL_PauseAudio(1);
  SDL_LockAudio();
  clip->cursor = clip->buffer;
  clip->remaining = clip->length;
  SDL_UnlockAudio();
  SDL_PauseAudio(0);
}

void free_sound_clip(SoundClip *clip)
{
  SDL_FreeWAV(clip->buffer);
  *clip = SoundClip();
}
