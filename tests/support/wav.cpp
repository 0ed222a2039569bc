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

/* G.711's companded codes of a sample from -1 to 1 */
static uint8_t mu_law(double v)
{
  int x = int(std::lround(std::fabs(v) * 8031)) + 33, exp = 0;
  while (exp < 7 && x >> (exp + 6))
    exp++;
  return uint8_t(~((v < 0 ? 0x80 : 0) | exp << 4 | (x >> (exp + 1) & 15)));
}

static uint8_t a_law(double v)
{
  int x = int(std::lround(std::fabs(v) * 4095)), exp = 0;
  while (exp < 7 && x >> (exp + 5))
    exp++;
  int mantissa = exp ? x >> exp & 15 : x >> 1 & 15;
  return uint8_t(((v < 0 ? 0 : 0x80) | exp << 4 | mantissa) ^ 0x55);
}

std::string make_wav(int rate, int bits, int channels, int frames,
                     const std::function<double(int)> &sample, WavForm form)
{
  int frame_bytes = bits / 8 * channels;
  uint32_t size = uint32_t(frames) * frame_bytes;
  std::string fmt;
  put(fmt, form.extensible ? 0xfffe : form.coding, 2);
  put(fmt, channels, 2);
  put(fmt, rate, 4);
  put(fmt, rate * frame_bytes, 4);
  put(fmt, frame_bytes, 2);
  put(fmt, bits, 2);
  if (form.extensible) { /* then the coding, as a GUID */
    put(fmt, 22, 2), put(fmt, bits, 2), put(fmt, channels == 2 ? 3 : 4, 4);
    put(fmt, form.coding, 4);
    fmt += std::string("\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 12);
  }
  std::string chunks = form.junk_first ? "JUNK" : "";
  if (form.junk_first)
    put(chunks, 28, 4), chunks.append(28, '\0');
  chunks += "fmt ";
  put(chunks, uint32_t(fmt.size()), 4);
  chunks += fmt + "data";
  put(chunks, size, 4);
  std::string out = "RIFF";
  put(out, uint32_t(4 + chunks.size() + size), 4);
  out += "WAVE" + chunks;
  for (int i = 0; i < frames; i++)
    for (int c = 0; c < channels; c++) {
      double off =
          channels > 1 ? form.spread * (2.0 * c / (channels - 1) - 1) : 0;
      double v = std::clamp(sample(i) + off, -1.0, 1.0);
      if (form.coding == 3) {
        float f = float(v);
        uint32_t u;
        memcpy(&u, &f, 4);
        put(out, u, 4);
      } else if (form.coding == 6 || form.coding == 7) {
        put(out, form.coding == 6 ? a_law(v) : mu_law(v), 1);
      } else if (bits == 8) {
        put(out, uint8_t(std::lround(128 + v * 127)), 1);
      } else {
        put(out, uint32_t(std::llround(v * (std::ldexp(1, bits - 1) - 1))),
            bits / 8);
      }
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
