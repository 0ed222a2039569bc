#include <cstdio>
#include <cstring>

#include "files/headers.h"

/* SDL's WAV loaders believe the file's chunks: each allocates what a chunk
   claims before reading it (up to 4 GB), the classic library keeps the
   channels in 8 bits (257 of them play as one) and reads a format chunk's
   fields from past its end when it is short, and a size that claims more
   than the file holds is refused by one runtime and played as silence by
   another. So the chunks are read here first. */

/* The codings a format chunk names, as WAV files number them. */
enum {
  pcm = 1,
  ms_adpcm = 2,
  ieee_float = 3,
  a_law = 6,
  mu_law = 7,
  ima_adpcm = 0x11,
  gsm = 0x31,
  mpeg = 0x50,
  mp3 = 0x55,
  extensible = 0xfffe
};

/* SDL gives up on a file of more chunks than this before its samples. */
const int max_chunks = 10000;

static Uint32 le(const Uint8 *at, int bytes)
{
  Uint32 v = 0;
  while (bytes--)
    v = v << 8 | at[bytes];
  return v;
}

static const char *coding_name(int coding)
{
  switch (coding) {
  case pcm: return "";
  case ms_adpcm: return "MS ADPCM ";
  case ieee_float: return "floating-point ";
  case a_law: return "A-law ";
  case mu_law: return "mu-law ";
  case ima_adpcm: return "IMA ADPCM ";
  case gsm: return "GSM 6.10 ";
  case mpeg: return "MPEG ";
  case mp3: return "MP3 ";
  }
  return NULL;
}

/* The fields of a format chunk of `length` bytes at the file's place. The
   extensible form names its coding in the first two bytes of a GUID whose
   rest is the same for every coding a WAV file may hold. */
static const char *read_format(SDL_RWops *file, Uint32 length, WavHeader *w)
{
  static const Uint8 guid_rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};
  /* MS ADPCM's seven sets of coefficients, as every encoder writes them:
     SDL 2 takes no others, and the classic library no more */
  static const Uint8 ms_sets[2 + 28] = {
      7,    0,    0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0xff,
      0x00, 0x00, 0x00, 0x00, 0xc0, 0x00, 0x40, 0x00, 0xf0, 0x00,
      0x00, 0x00, 0xcc, 0x01, 0x30, 0xff, 0x88, 0x01, 0x18, 0xff};
  Uint8 f[50] = {0};
  if (length < 16)
    return "a format chunk too short for its fields";
  if (SDL_RWread(file, f, 1, length < sizeof f ? length : sizeof f) < 16)
    return "a file cut short in its format";
  w->ms_sets = length >= sizeof f && memcmp(f + 20, ms_sets, 30) == 0;
  w->coding = le(f, 2);
  w->channels = le(f + 2, 2);
  w->rate = le(f + 4, 4);
  w->block = le(f + 12, 2);
  w->bits = le(f + 14, 2);
  w->per_block = length >= 20 ? le(f + 18, 2) : 0;
  if (w->coding != extensible)
    return NULL;
  w->extensible = true;
  if (length < 40)
    return "an extensible format chunk too short for its fields";
  w->coding =
      memcmp(f + 26, guid_rest, sizeof guid_rest) == 0 ? le(f + 24, 2) : 0;
  return NULL;
}

/* A chunk's four-letter name, for a line on a terminal: what is not a
   printable letter of ASCII shows as '?'. */
static void name_chunk(const Uint8 *id, char name[5])
{
  for (int i = 0; i < 4; i++)
    name[i] = id[i] >= ' ' && id[i] <= '~' ? (char)id[i] : '?';
  name[4] = '\0';
}

/* Walks the chunks up to the samples: the format's, and where the samples
   start and how many bytes of them the file holds. */
static const char *read_chunks(SDL_RWops *file, WavHeader *w)
{
  bool format = false;
  long long at = 12;
  for (int n = 0; n < max_chunks; n++) {
    Uint8 h[8];
    if (SDL_RWseek(file, w->start + at, RW_SEEK_SET) < 0 ||
        SDL_RWread(file, h, sizeof h, 1) != 1)
      return format ? "no samples" : "no format chunk";
    Uint32 length = le(h + 4, 4);
    at += 8;
    if (memcmp(h, "data", 4) == 0) {
      if (!format)
        return "its samples before their format";
      w->data_at = at;
      w->data_held = length < w->size - at ? length : w->size - at;
      w->sizes_claim_more =
          length > w->data_held || le(w->riff, 4) + 8LL > w->size;
      return NULL;
    }
    if (length > w->size - at) {
      static char why[64];
      char name[5];
      name_chunk(h, name);
      snprintf(why, sizeof why, "a file cut short in its %s chunk", name);
      return why;
    }
    if (memcmp(h, "fmt ", 4) == 0 && !format) {
      const char *fault = read_format(file, length, w);
      if (fault)
        return fault;
      format = true;
    } else if (!format && !w->first_chunk[0]) {
      name_chunk(h, w->first_chunk);
    }
    at += length + (length & 1); /* chunks start on even bytes */
  }
  return "too many chunks before its samples";
}

/* The first block of MS ADPCM whose header names a set of coefficients
   past the seven, or -1. */
static long long bad_ms_block(SDL_RWops *file, const WavHeader *w)
{
  Uint8 sets[2];
  for (long long b = 0; b < w->data_held / w->block; b++) {
    if (SDL_RWseek(file, w->start + w->data_at + b * w->block, RW_SEEK_SET) <
            0 ||
        SDL_RWread(file, sets, w->channels, 1) != 1)
      return b;
    for (int c = 0; c < w->channels; c++)
      if (sets[c] >= 7)
        return b;
  }
  return -1;
}

/* ADPCM's blocks, as every SDL decodes them alike: 4 bits a sample, in one
   or two channels (the classic library keeps the state of two); each
   block its header (7 bytes a channel for MS ADPCM, 4 for IMA) and whole
   groups of samples after it (2 for MS ADPCM, 8 a channel for IMA, which
   also takes 4 bytes at a time), and just the frames it holds, as every
   encoder writes them (the classic library reads a block's header where
   the last block's samples ended); and MS ADPCM's coefficients the seven
   sets. The classic library divided by
   a block of 0 bytes, sized what it decodes by the frames a block claims,
   and kept what it had decoded of a block it could not. The frames the
   file holds go to *frames. Its channels are 1 to 8 here. */
static const char *adpcm_fault(SDL_RWops *file, const WavHeader *w,
                               long long *frames)
{
  static char why[128];
  bool ms = w->coding == ms_adpcm;
  int ch = w->channels, head = (ms ? 7 : 4) * ch;
  long long b, room = w->block > head ? (w->block - head) * 2LL / ch : 0;
  bool whole = ms ? ch == 2 || w->per_block % 2 == 0
                  : (w->per_block - 1) % 8 == 0 && w->block % (4 * ch) == 0;
  *frames = 0;
  if (w->bits != 4)
    snprintf(why, sizeof why, "%s, not 4 bits a sample", wav_kind(w));
  else if (ch > 2)
    snprintf(why, sizeof why, "%s in %d channels, not 1 or 2", wav_kind(w), ch);
  else if (ms && !w->ms_sets)
    snprintf(why, sizeof why,
             "%s with coefficients of their own, which SDL cannot read",
             wav_kind(w));
  else if (w->block < head || w->per_block < 2 ||
           w->per_block - (ms ? 2 : 1) != room || !whole)
    snprintf(why, sizeof why,
             "ADPCM blocks of %d bytes said to hold %d frames, which SDL "
             "cannot decode",
             w->block, w->per_block);
  else if (ms && (b = bad_ms_block(file, w)) >= 0)
    snprintf(why, sizeof why,
             "MS ADPCM whose block %lld names coefficients it does not have",
             b + 1);
  else {
    *frames = w->data_held / w->block * w->per_block;
    return NULL;
  }
  return why;
}

/* The limits of what a clip may be, from its format; ADPCM's blocks are
   read from the file. */
static const char *format_fault(SDL_RWops *file, const WavHeader *w)
{
  static char why[96];
  long long frames = 0;
  int frame = w->bits / 8 * w->channels;
  const char *adpcm = NULL;
  if (w->coding == pcm && w->bits != 8 && w->bits != 16)
    snprintf(why, sizeof why, "%d-bit samples, not 8 or 16", w->bits);
  else if (w->coding == ieee_float || !coding_name(w->coding) ||
           w->coding == gsm || w->coding == mpeg || w->coding == mp3)
    snprintf(why, sizeof why, "%s, which SDL cannot read", wav_kind(w));
  else if (w->channels < 1 || w->channels > max_clip_channels)
    snprintf(why, sizeof why, "%d channels, not 1 to %d", w->channels,
             max_clip_channels);
  else if (w->rate < min_clip_rate || w->rate > max_clip_rate)
    snprintf(why, sizeof why, "a rate of %lld Hz, not %d to %d", w->rate,
             min_clip_rate, max_clip_rate);
  else if ((w->coding == ms_adpcm || w->coding == ima_adpcm) &&
           (adpcm = adpcm_fault(file, w, &frames)))
    return adpcm;
  else if ((frames = frame > 0 ? w->data_held / frame : frames) == 0)
    snprintf(why, sizeof why, "no samples");
  else if (frames > max_clip_seconds * w->rate)
    snprintf(why, sizeof why, "%.10g seconds long, more than %lld",
             (double)frames / w->rate, max_clip_seconds);
  else
    return NULL;
  return why;
}

const char *wav_fault(SDL_RWops *file, WavHeader *w)
{
  *w = WavHeader();
  w->start = SDL_RWtell(file);
  w->size = SDL_RWseek(file, 0, RW_SEEK_END) - w->start;
  Uint8 magic[12] = {0};
  SDL_RWseek(file, w->start, RW_SEEK_SET);
  SDL_RWread(file, magic, 1, sizeof magic);
  memcpy(w->riff, magic + 4, 4);
  const char *fault =
      w->size < 12                    ? "not a WAV file"
      : memcmp(magic, "RF64", 4) == 0 ? "an RF64 file, which SDL cannot read"
      : memcmp(magic, "RIFF", 4) != 0 || memcmp(magic + 8, "WAVE", 4) != 0
          ? "not a WAV file"
          : read_chunks(file, w);
  fault = fault ? fault : format_fault(file, w);
  SDL_RWseek(file, w->start, RW_SEEK_SET);
  return fault;
}

const char *wav_kind(const WavHeader *w)
{
  static char kind[128];
  const char *name = coding_name(w->coding);
  int n = !name ? snprintf(kind, sizeof kind, "samples of an unknown coding")
          : w->bits > 0
              ? snprintf(kind, sizeof kind, "%d-bit %ssamples", w->bits, name)
              : snprintf(kind, sizeof kind, "%ssamples", name);
  if (w->extensible)
    n += snprintf(kind + n, sizeof kind - n, " in an extensible format chunk");
  if (w->first_chunk[0])
    snprintf(kind + n, sizeof kind - n, ", after a %s chunk", w->first_chunk);
  return kind;
}

SDL_RWops *wav_stream(SDL_RWops *file, const WavHeader *w, Uint8 **copy)
{
  *copy = NULL;
  if (!w->sizes_claim_more)
    return file;
  Uint8 *bytes = (Uint8 *)SDL_malloc(w->size);
  if (!bytes)
    return NULL;
  SDL_RWseek(file, w->start, RW_SEEK_SET);
  if (SDL_RWread(file, bytes, (int)w->size, 1) != 1) {
    SDL_free(bytes);
    return NULL;
  }
  Uint32 sizes[2] = {(Uint32)w->size - 8, (Uint32)w->data_held};
  Uint8 *at[2] = {bytes + 4, bytes + w->data_at - 4};
  for (int i = 0; i < 2; i++)
    for (int b = 0; b < 4; b++)
      at[i][b] = (Uint8)(sizes[i] >> 8 * b);
  SDL_RWops *stream = SDL_RWFromMem(bytes, (int)w->size);
  if (stream)
    *copy = bytes;
  else
    SDL_free(bytes);
  return stream;
}
