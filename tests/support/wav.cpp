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

/* One frame's value on channel c of `channels`, as the form spreads it. */
static double channel_value(double v, int c, int channels, const WavForm &form)
{
  double off = channels > 1 ? form.spread * (2.0 * c / (channels - 1) - 1) : 0;
  return std::clamp(v + off, -1.0, 1.0);
}

static void put_sample(std::string &out, double v, int bits, int coding)
{
  if (coding == 3) {
    float f = float(v);
    uint32_t u;
    memcpy(&u, &f, 4);
    put(out, u, 4);
  } else if (coding == 6 || coding == 7) {
    put(out, coding == 6 ? a_law(v) : mu_law(v), 1);
  } else if (bits == 8) {
    put(out, uint8_t(std::lround(128 + v * 127)), 1);
  } else {
    put(out, uint32_t(std::llround(v * (std::ldexp(1, bits - 1) - 1))),
        bits / 8);
  }
}

/* Blocks of 256 bytes a channel: MS ADPCM's header holds a coefficient
   index, a step and two samples a channel, IMA's one sample and a step
   index; the nibbles after it, all zero, change nothing. */
static std::string adpcm_blocks(int coding, int channels, int frames,
                                const std::function<double(int)> &sample,
                                const WavForm &form, int *per_block)
{
  int block = 256 * channels;
  *per_block = coding == 2 ? (block - 7 * channels) * 2 / channels + 2
                           : (block - 4 * channels) * 2 / channels + 1;
  std::string out;
  for (int first = 0; first < frames; first += *per_block) {
    std::string head;
    auto value = [&](int c) {
      return uint32_t(
          std::lround(channel_value(sample(first), c, channels, form) * 32767));
    };
    if (coding == 2) {
      head.append(size_t(channels), '\0'); /* the first coefficients */
      for (int c = 0; c < channels; c++)
        put(head, 16, 2); /* the smallest step */
      for (int twice = 0; twice < 2; twice++)
        for (int c = 0; c < channels; c++)
          put(head, value(c), 2);
    } else {
      for (int c = 0; c < channels; c++)
        put(head, value(c), 2), put(head, 0, 2);
    }
    out += head + std::string(size_t(block) - head.size(), '\0');
  }
  return out;
}

/* The format chunk's body. */
static std::string format_chunk(int rate, int bits, int channels, int block,
                                int per_block, const WavForm &form)
{
  static const int16_t ms_coefficients[14] = {
      256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
  std::string fmt;
  put(fmt, form.extensible ? 0xfffe : form.coding, 2);
  put(fmt, channels, 2);
  put(fmt, rate, 4);
  put(fmt,
      per_block ? uint32_t(int64_t(rate) * block / per_block)
                : uint32_t(rate * block),
      4);
  put(fmt, block, 2);
  put(fmt, bits, 2);
  if (form.extensible) { /* then the coding, as a GUID */
    put(fmt, 22, 2), put(fmt, bits, 2), put(fmt, channels == 2 ? 3 : 4, 4);
    put(fmt, form.coding, 4);
    fmt += std::string("\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 12);
  } else if (form.coding == 2) {
    put(fmt, 32, 2), put(fmt, per_block, 2), put(fmt, 7, 2);
    for (int16_t c : ms_coefficients)
      put(fmt, uint16_t(c), 2);
  } else if (form.coding == 0x11 || form.coding == 0x31) {
    put(fmt, 2, 2), put(fmt, per_block, 2);
  }
  return fmt;
}

static std::string chunk(const std::string &id, const std::string &body)
{
  std::string out = id;
  put(out, uint32_t(body.size()), 4);
  return out + body;
}

std::string make_wav(int rate, int bits, int channels, int frames,
                     const std::function<double(int)> &sample, WavForm form)
{
  std::string data;
  int block = bits / 8 * channels, per_block = 0;
  if (form.coding == 2 || form.coding == 0x11) {
    data =
        adpcm_blocks(form.coding, channels, frames, sample, form, &per_block);
    block = 256 * channels;
  } else if (form.coding == 0x31) { /* 320 samples in 65 bytes */
    per_block = 320, block = 65;
    data.assign(size_t((frames + 319) / 320 * 65), '\x55');
  } else {
    for (int i = 0; i < frames; i++)
      for (int c = 0; c < channels; c++)
        put_sample(data, channel_value(sample(i), c, channels, form), bits,
                   form.coding);
  }
  std::string chunks;
  if (form.rf64) { /* the real sizes, 64 bits each, and no table */
    std::string ds64;
    put(ds64, uint32_t(4 + 8 + 36 + 8 + 8 + data.size()), 4), put(ds64, 0, 4);
    put(ds64, uint32_t(data.size()), 4), put(ds64, 0, 4);
    put(ds64, uint32_t(frames), 4), put(ds64, 0, 4), put(ds64, 0, 4);
    chunks += chunk("ds64", ds64);
  }
  if (form.junk_first)
    chunks += chunk("JUNK", std::string(28, '\0'));
  chunks +=
      chunk("fmt ", format_chunk(rate, bits, channels, block, per_block, form));
  if (form.list_after_format)
    chunks +=
        chunk("LIST", std::string("INFOISFT\x0e\0\0\0Lavf60.16.100\0", 26));
  chunks += chunk("data", data);
  std::string out = (form.rf64 ? "RF64" : "RIFF");
  put(out, uint32_t(4 + chunks.size()), 4);
  out += "WAVE" + chunks;
  if (form.streamed || form.rf64) { /* sizes unknown, or elsewhere */
    out.replace(4, 4, "\xff\xff\xff\xff");
    out.replace(out.size() - data.size() - 4, 4, "\xff\xff\xff\xff");
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
