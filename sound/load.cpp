#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sound/sound_clip.h"

/* SDL's converter changes the rate only by powers of two on the classic
   runtime (48000 Hz stays 48000); linear interpolation takes the samples
   the rest of the way. */
static Uint8 *resample(const Sint16 *in, Uint32 frames, double rate,
                       Uint32 *out_bytes)
{
  Uint32 out_frames = (Uint32)std::lround(frames * (clip_rate / rate));
  Sint16 *out = (Sint16 *)SDL_malloc(out_frames * sizeof *out + 1);
  if (!out)
    return NULL;
  double step = rate / clip_rate;
  for (Uint32 i = 0; i < out_frames; i++) {
    double at = i * step;
    Uint32 j = (Uint32)at;
    double t = at - j;
    int a = in[j < frames ? j : frames - 1];
    int b = in[j + 1 < frames ? j + 1 : frames - 1];
    out[i] = (Sint16)std::lround(a + (b - a) * t);
  }
  *out_bytes = out_frames * sizeof *out;
  return (Uint8 *)out;
}

/* Turns the loaded samples into the device format. A clip already in it
   is left as it is. Returns 0, or -1 with SDL's error set. */
static int convert_clip(SoundClip *clip)
{
  SDL_AudioSpec *spec = &clip->spec;
  if (clip->length == 0 ||
      (spec->freq == clip_rate && spec->format == clip_format &&
       spec->channels == clip_channels))
    return 0;

  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, spec->format, spec->channels, spec->freq,
                        clip_format, clip_channels, clip_rate) < 0)
    return -1;
  cvt.len = (int)clip->length;
  cvt.buf = (Uint8 *)SDL_malloc((size_t)cvt.len * cvt.len_mult);
  if (!cvt.buf) {
    SDL_SetError("Out of memory");
    return -1;
  }
  memcpy(cvt.buf, clip->buffer, clip->length);
  if (cvt.needed && SDL_ConvertAudio(&cvt) < 0) {
    SDL_free(cvt.buf);
    return -1;
  }
  Uint32 bytes = cvt.needed ? (Uint32)cvt.len_cvt : clip->length;

  /* The rate SDL reached: what is left of the length ratio once the
     change of sample size and channel count is taken out. */
  int frame_bytes = (spec->format & 0xff) / 8 * spec->channels;
  double rate = spec->freq * (cvt.needed ? cvt.len_ratio : 1.0) * frame_bytes /
                (2 * clip_channels);
  if (std::fabs(rate - clip_rate) > 1) {
    Uint32 resampled_bytes;
    Uint8 *resampled =
        resample((Sint16 *)cvt.buf, bytes / 2, rate, &resampled_bytes);
    SDL_free(cvt.buf);
    if (!resampled) {
      SDL_SetError("Out of memory");
      return -1;
    }
    cvt.buf = resampled;
    bytes = resampled_bytes;
  }
  SDL_FreeWAV(clip->buffer);
  clip->buffer = cvt.buf;
  clip->length = bytes;
  return 0;
}

SoundClip load_sound_clip(const char *path)
{
  SoundClip clip = {};
  if (!SDL_LoadWAV(path, &clip.spec, &clip.buffer, &clip.length) ||
      convert_clip(&clip) < 0) {
    fprintf(stderr, "Couldn't load %s: %s\n", path, SDL_GetError());
    exit(-1);
  }
  clip.cursor = clip.buffer;
  clip.remaining = clip.length;
  return clip;
}
