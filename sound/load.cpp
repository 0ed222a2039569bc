#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/files.h"
#include "sound/sound_clip.h"

/* What a clip may be: samples of 8 or 16 bits, the widths SDL 1.2's loader
   gives; 1 to 8 channels, as many as SDL 2 mixes down (SDL 1.2 would run
   out of its table of conversion steps beyond); 1000 to 384000 frames a
   second (below, a clip holds no sound, above, no recorder goes); and at
   most ten minutes of sound, 53 MB at the device's rate. Past these, the
   header is broken or the clip is no click. */
static const int min_rate = 1000, max_rate = 384000;
static const int max_channels = 8;
static const long long max_seconds = 600;

/* SDL converts this many frames at a time, so that its working buffer
   stays small whatever the clip. */
static const Uint32 piece_frames = 4096;

/* SDL's reason for the failure it just reported, or ours where it gave
   none (SDL 3 gives none for some). Each call it explains starts with a
   clear error, so that no earlier reason stands in for a missing one. */
static const char *reason(const char *otherwise)
{
  const char *sdl = SDL_GetError();
  return sdl && *sdl ? sdl : otherwise;
}

static int frame_bytes(const SDL_AudioSpec *spec)
{
  return (spec->format & 0xff) / 8 * spec->channels;
}

/* NULL when the loaded clip is one flumo can convert and play, else why
   not. */
static const char *clip_fault(const SDL_AudioSpec *spec, Uint32 length)
{
  static char why[96];
  int bits = spec->format & 0xff;
  if (bits != 8 && bits != 16)
    snprintf(why, sizeof why, "%d-bit samples, not 8 or 16", bits);
  else if (spec->channels < 1 || spec->channels > max_channels)
    snprintf(why, sizeof why, "%d channels, not 1 to %d", spec->channels,
             max_channels);
  else if (spec->freq < min_rate || spec->freq > max_rate)
    snprintf(why, sizeof why, "a rate of %u Hz, not %d to %d",
             (unsigned)spec->freq, min_rate, max_rate);
  else if (length / frame_bytes(spec) > max_seconds * spec->freq)
    snprintf(why, sizeof why, "%lld seconds long, more than %lld",
             length / frame_bytes(spec) / (long long)spec->freq, max_seconds);
  else
    return NULL;
  return why;
}

/* From the clip's own rate to the device's, by linear interpolation. */
static Uint8 *resample(const Sint16 *in, Uint32 frames, int rate,
                       Uint32 *out_bytes)
{
  Uint32 out_frames = (Uint32)std::lround(frames * ((double)clip_rate / rate));
  Sint16 *out = (Sint16 *)SDL_malloc(out_frames * sizeof *out + 1);
  if (!out)
    return NULL;
  double step = (double)rate / clip_rate;
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

/* The samples as 16-bit mono at their own rate: SDL changes the width and
   mixes the channels down, a piece at a time. The rate is changed here, not
   by SDL: its converters double and halve it into a fixed table of steps
   (SDL 1.2) or count their buffers in an int (SDL 2), and both crashed on
   rates a header can claim. NULL with SDL's error set. */
static Sint16 *to_mono(const SoundClip *clip, Uint32 frames)
{
  const SDL_AudioSpec *spec = &clip->spec;
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, spec->format, spec->channels, spec->freq,
                        clip_format, clip_channels, spec->freq) < 0)
    return NULL;
  Uint32 in_bytes = frame_bytes(spec);
  Uint8 *work = (Uint8 *)SDL_malloc(piece_frames * in_bytes * cvt.len_mult);
  Sint16 *mono = (Sint16 *)SDL_malloc(frames * sizeof *mono + 1);
  if (!work || !mono)
    SDL_SetError("Out of memory");
  Uint32 at = 0;
  while (work && mono && at < frames) {
    Uint32 n = frames - at < piece_frames ? frames - at : piece_frames;
    cvt.buf = work;
    cvt.len = cvt.len_cvt = (int)(n * in_bytes);
    memcpy(work, clip->buffer + at * in_bytes, cvt.len);
    if (cvt.needed && SDL_ConvertAudio(&cvt) < 0)
      break;
    if (cvt.len_cvt != (int)(n * sizeof *mono)) {
      /* SDL 1.2 leaves 3, 5 or 7 channels as they are */
      SDL_SetError("SDL cannot mix its %d channels into one", spec->channels);
      break;
    }
    memcpy(mono + at, work, n * sizeof *mono);
    at += n;
  }
  SDL_free(work);
  if (mono && at == frames)
    return mono;
  SDL_free(mono);
  return NULL;
}

/* Turns the loaded samples into the device format; a clip already in it is
   left as it is. Returns 0, or -1 with SDL's error set. */
static int convert_clip(SoundClip *clip)
{
  SDL_AudioSpec *spec = &clip->spec;
  if (spec->freq == clip_rate && spec->format == clip_format &&
      spec->channels == clip_channels)
    return 0;
  Uint32 frames = clip->length / frame_bytes(spec);
  if (frames == 0) {
    clip->length = 0; /* nothing to play */
    return 0;
  }
  Sint16 *mono = to_mono(clip, frames);
  if (!mono)
    return -1;
  SDL_FreeWAV(clip->buffer);
  clip->buffer = (Uint8 *)mono;
  clip->length = frames * sizeof *mono;
  if (spec->freq == clip_rate)
    return 0;
  clip->buffer = resample(mono, frames, spec->freq, &clip->length);
  SDL_free(mono);
  if (!clip->buffer) {
    SDL_SetError("Out of memory");
    return -1;
  }
  return 0;
}

SoundClip load_sound_clip(const char *path)
{
  SoundClip clip = {};
  const char *why;
  SDL_ClearError();
  if (!SDL_LoadWAV(path, &clip.spec, &clip.buffer, &clip.length)) {
    why = reason("not a WAV file SDL can read");
    clip.buffer = NULL; /* whatever the loader left there is not ours */
  } else {
    why = clip_fault(&clip.spec, clip.length);
    SDL_ClearError();
    if (!why && convert_clip(&clip) < 0)
      why = reason("SDL cannot convert it");
  }
  if (why) {
    fprintf(stderr, "Couldn't load %s: %s\n", path, why);
    SDL_FreeWAV(clip.buffer);
    exit(clip_failure_status);
  }
  clip.cursor = clip.buffer;
  clip.remaining = clip.length;
  return clip;
}
