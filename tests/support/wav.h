#ifndef FLUMO_TEST_WAV_H
#define FLUMO_TEST_WAV_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/* A PCM WAV file as bytes: rate, 8, 16, 24 or 32 bits, any channels; sample(i)
   gives frame i's value from -1 to 1, the same on every channel. */
std::string make_wav(int rate, int bits, int channels, int frames,
                     const std::function<double(int)> &sample);

/* 16-bit little-endian samples of raw bytes. */
std::vector<int16_t> samples_of(const std::string &bytes);

/* Where whole runs of `clip` stand in `out`, each sample within
   `tolerance` of the clip's. */
std::vector<size_t> find_all(const std::vector<int16_t> &out,
                             const std::vector<int16_t> &clip,
                             int tolerance = 0);

#endif
