#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "files/files.h"
#include "files/headers.h"
#include "util.h"

static int frame_bytes(const SDL_AudioSpec *spec)
{
  return (spec->format & 0xff) / 8 * spec->channels;
}

/* NULL when the loaded clip is one flumo can convert and play, else why
   not: the header said what it holds, but a coding SDL decodes (ADPCM)
   says its length only once decoded. */
static const char *clip_fault(const SDL_AudioSpec *spec, Uint32 length)
{
  static char why[96];
  int bits = spec->format & 0xff;
  if (bits != 8 && bits != 16)
    snprintf(why, sizeof why, "%d-bit samples, not 8 or 16", bits);
  else if (spec->channels < 1 || spec->channels > max_clip_channels)
    snprintf(why, sizeof why, "%d channels, not 1 to %d", spec->channels,
             max_clip_channels);
  else if (spec->freq < min_clip_rate || spec->freq > max_clip_rate)
    snprintf(why, sizeof why, "a rate of %u Hz, not %d to %d",
             (unsigned)spec->freq, min_clip_rate, max_clip_rate);
  else if (length < (Uint32)frame_bytes(spec))
    snprintf(why, sizeof why, "no samples");
  else if (length / frame_bytes(spec) > max_clip_seconds * spec->freq)
    snprintf(why, sizeof why, "%.10g seconds long, more than %lld",
             (double)(length / frame_bytes(spec)) / spec->freq,
             max_clip_seconds);
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

/* One sample as a signed 16-bit value, from whichever of SDL's 8- and
   16-bit formats it comes in. */
static int sample_at(const Uint8 *at, Uint16 format)
{
  int v = (format & 0xff) == 8 ? at[0] << 8
          : format & 0x1000    ? at[0] << 8 | at[1] /* big-endian */
                               : at[1] << 8 | at[0];
  return format & 0x8000 ? (Sint16)v : v - 32768;
}

/* The samples as 16-bit mono at their own rate, each frame the mean of its
   channels. Done here, not by SDL's converters: SDL 1.2's cannot mix 3, 5
   or 7 channels into one, and SDL 3's under sdl2-compat leave pieces of
   many lengths unconverted; SDL 1.2's ran out of their table of steps on
   rates a header can claim, and SDL 2's crashed. NULL when memory runs
   out. */
static Sint16 *to_mono(const SoundClip *clip, Uint32 frames)
{
  Uint16 format = clip->spec.format;
  int width = (format & 0xff) / 8, channels = clip->spec.channels;
  Sint16 *mono = (Sint16 *)SDL_malloc(frames * sizeof *mono + 1);
  const Uint8 *at = clip->buffer;
  for (Uint32 i = 0; mono && i < frames; i++) {
    long sum = 0;
    for (int c = 0; c < channels; c++, at += width)
      sum += sample_at(at, format);
    mono[i] = (Sint16)(sum / channels);
  }
  return mono;
}

/* Turns the loaded samples into the device format; a clip already in it is
   left as it is. Returns 0, or -1 with SDL's error set. */
static int convert_clip(SoundClip *clip)
{
  SDL_AudioSpec *spec = &clip->spec;
  if (spec->freq == clip_rate && spec->format == clip_format &&
      spec->channels == clip_channels)
    return 0;
  Uint32 frames = clip->length / frame_bytes(spec); /* at least one */
  Sint16 *mono = to_mono(clip, frames);
  if (!mono) {
    SDL_SetError("Out of memory");
    return -1;
  }
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

/* The samples SDL loads from the file at path, its header read first;
   NULL, or why not. */
static const char *load_wav(const char *path, SoundClip *clip)
{
  SDL_ClearError();
  SDL_RWops *file = SDL_RWFromFile(path, "rb");
  if (!file)
    return reason("it cannot be opened");
  WavHeader header;
  const char *why = wav_fault(file, &header);
  Uint8 *copy = NULL;
  SDL_RWops *stream = why ? NULL : wav_stream(file, &header, &copy);
  if (stream != file)
    SDL_RWclose(file);
  if (why || !stream)
    return why ? why : "too little memory to read it";
  SDL_ClearError();
  if (!SDL_LoadWAV_RW(stream, 1, &clip->spec, &clip->buffer, &clip->length)) {
    clip->buffer = NULL; /* whatever the loader left there is not ours */
    why = refused_by_sdl(wav_kind(&header));
  }
  SDL_free(copy);
  return why;
}

SoundClip load_sound_clip(const char *path)
{
  SoundClip clip = {};
  const char *why = load_wav(path, &clip);
  if (!why) {
    why = clip_fault(&clip.spec, clip.length);
    SDL_ClearError();
    if (!why && convert_clip(&clip) < 0)
      why = reason("too little memory to convert it");
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
