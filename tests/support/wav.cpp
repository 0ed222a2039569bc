#include "support/wav.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

static void put(std::string &out, uint32_t v, int bytes)
{
  for (int i = 0; i < bytes; i++)
    out += char(v >> 8 * i & 0xff);
}

std::string make_wav(int rate, int bits, int channels, int frames,
                     const std::function<double(int)> &sample)
{
  int frame_bytes = bits / 8 * channels;
  uint32_t size = uint32_t(frames) * frame_bytes;
  std::string out = "RIFF";
  put(out, 36 + size, 4);
  out += "WAVEfmt ";
  put(out, 16, 4);
  put(out, 1, 2);
  put(out, channels, 2);
  put(out, rate, 4);
  put(out, rate * frame_bytes, 4);
  put(out, frame_bytes, 2);
  put(out, bits, 2);
  out += "data";
  put(out, size, 4);
  for (int i = 0; i < frames; i++) {
    double v = std::clamp(sample(i), -1.0, 1.0);
    for (int c = 0; c < channels; c++)
      if (bits == 8)
        put(out, uint8_t(std::lround(128 + v * 127)), 1);
      else
        put(out, uint32_t(std::llround(v * (std::ldexp(1, bits - 1) - 1))),
            bits / 8);
  }
  return out;
}

std::vector<int16_t> samples_of(const std::string &bytes)
{
  std::vector<int16_t> s(bytes.size() / 2);
  memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

std::vector<size_t> find_all(const std::vector<int16_t> &out,
                             const std::vector<int16_t> &clip, int tolerance)
{
  std::vector<size_t> at;
  auto close = [tolerance](int16_t a, int16_t b) {
    return std::abs(a - b) <= tolerance;
  };
  auto from = out.begin();
  while ((from = std::search(from, out.end(), clip.begin(), clip.end(),
                             close)) != out.end()) {
    at.push_back(size_t(from - out.begin()));
    from += clip.size();
  }
  return at;
}
