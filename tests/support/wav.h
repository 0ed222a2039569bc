#ifndef FLUMO_TEST_WAV_H
#define FLUMO_TEST_WAV_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/* How a WAV file is written: its samples' coding (1 integers, 2 MS ADPCM,
   3 floats, 6 A-law, 7 mu-law, 0x11 IMA ADPCM, 0x31 GSM 6.10), its format
   chunk in the extensible form, a JUNK chunk before it, as some recorders
   leave, and how far its channels spread about each frame's value: from
   -spread to +spread, evenly, so that their mean is the value. Then what
   tools write around the samples: a LIST chunk of text after the format
   (ffmpeg); sizes of 0xFFFFFFFF, as a writer on a pipe leaves them; RF64's
   form, its sizes in a ds64 chunk. */
struct WavForm {
  int coding = 1;
  bool extensible = false, junk_first = false;
  double spread = 0;
  bool list_after_format = false, streamed = false, rf64 = false;
};

/* A WAV file as bytes: rate, 8, 16, 24 or 32 bits (32 for floats, 8 for
   A-law and mu-law, 4 for ADPCM, 0 for GSM), any channels; sample(i) gives
   frame i's value from -1 to 1, on every channel as the form spreads it.
   ADPCM holds each block's first value: its blocks of 256 bytes a channel
   code no change after their headers; GSM's blocks hold no sound. */
std::string make_wav(int rate, int bits, int channels, int frames,
                     const std::function<double(int)> &sample,
                     WavForm form = {});

/* 16-bit little-endian samples of raw bytes. */
std::vector<int16_t> samples_of(const std::string &bytes);

/* Where whole runs of `clip` stand in `out`, each sample within
   `tolerance` of the clip's. */
std::vector<size_t> find_all(const std::vector<int16_t> &out,
                             const std::vector<int16_t> &clip,
                             int tolerance = 0);

#endif
