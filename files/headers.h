#ifndef FLUMO_FILES_HEADERS_H
#define FLUMO_FILES_HEADERS_H

#include <SDL.h>

/* What files/ reads of a file's header before SDL's loader sees it. */

/* NULL when the bitmap file may be given to SDL's loader, or why not, in
   a few words: a header that asks for more than SDL can draw or the file
   holds. The size SDL would make of it goes to width and height (0 where
   the header does not say). Leaves the file where it was found. */
const char *bitmap_fault(SDL_RWops *file, int *width, int *height);
/* What the bitmap at the file's place is, in a few words (its depth,
   compression and colour masks), for a line saying why SDL's loader
   refused it. */
const char *bitmap_kind(SDL_RWops *file);
/* Gives the surface SDL made of the bitmap at the file's place the colours
   its palette holds, where SDL may have read them from elsewhere. */
void use_file_palette(SDL_RWops *file, SDL_Surface *surface);

/* What a clip may be: samples of 8 or 16 bits, the widths SDL 1.2's
   loader gives; 1 to 8 channels, as many as a WAV names speakers for
   (7.1); 1000 to 384000 frames a second (below, a clip holds no sound,
   above, no recorder goes); and at most ten minutes of sound, 53 MB at
   the device's rate. Past these, the header is broken or the clip is no
   click. */
const int min_clip_rate = 1000, max_clip_rate = 384000;
const int max_clip_channels = 8;
const long long max_clip_seconds = 600;

/* What a WAV file's chunks say of its samples (clip_header.cpp). */
struct WavHeader {
  long long start, size; /* where the file stood, and its bytes from there */
  Uint8 riff[4];         /* the size its first chunk claims */
  long long data_at;     /* where its samples start */
  long long data_held;   /* the bytes of samples the file holds */
  bool sizes_claim_more; /* than it holds, as a stream's writer leaves them */
  int coding, channels, bits;
  long long rate;
  int block, per_block; /* bytes a block, and frames in one (ADPCM) */
  bool ms_sets;         /* MS ADPCM's seven sets of coefficients */
  bool extensible;      /* the coding named in the longer format chunk */
  char first_chunk[5];  /* a chunk before the format, where there is one */
};
/* NULL when the WAV file at the file's place may be given to SDL's
   loader, through wav_stream; else why not, in a few words: what SDL
   cannot read, what no clip may be, or chunks the file does not hold.
   Fills w, and leaves the file where it was found. */
const char *wav_fault(SDL_RWops *file, WavHeader *w);
/* What the clip's samples are, in a few words, for a line saying why
   SDL's loader refused it. */
const char *wav_kind(const WavHeader *w);
/* What SDL's loader is to read: the file itself, or, where its sizes claim
   more than it holds, a copy of its bytes in *copy with sizes that match
   them, which the caller frees. NULL when memory runs out. */
SDL_RWops *wav_stream(SDL_RWops *file, const WavHeader *w, Uint8 **copy);

/* Why SDL's loader refused a file that passed the program's own checks:
   what the file is (kind), which SDL cannot read it, and SDL's words where
   they say more than that (refused.cpp). */
const char *refused_by_sdl(const char *kind);

#endif
