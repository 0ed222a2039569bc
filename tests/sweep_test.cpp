#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "settings.h"
#include "support/bmp.h"
#include "support/process.h"
#include "support/surfaces.h"
#include "support/wav.h"
#include "support/xserver.h"

/* Whatever a user drops into the folder in place of one of the five files:
   the program either refuses it with one line naming the file and a
   non-zero status, or runs correctly. Never a crash, a hang or a garbled
   window. */

namespace
{

enum Expect { refused, runs };

using Make = std::function<void(AssetDir &, const std::string &)>;

struct Case {
  std::string file, what;
  Make make;
  Expect expect;
  std::string reason = ""; /* what a refusal must say, where it is known */
  /* the same picture written as every runtime reads it, where this form
     is one that SDL itself may read wrongly */
  Make plainly = nullptr;
};

/* What a file comes to on the runtime the tests run on, where the forms
   of SDL 1.2 differ: the classic library, sdl12-compat over SDL2, over
   SDL 3. */
Expect by_runtime(Expect classic, Expect over_sdl2, Expect over_sdl3)
{
  Runtime r = runtime();
  return r == classic_sdl        ? classic
         : r == compat_over_sdl2 ? over_sdl2
                                 : over_sdl3;
}

Make put(const std::string &bytes)
{
  return [bytes](AssetDir &d, const std::string &f) {
    write_file(d.file(f), bytes);
  };
}

bool is_bitmap(const std::string &file)
{
  return file.find(".bmp") != std::string::npos;
}

/* A missing or bad icon is no reason to stop; any other file is. */
Expect bad(const std::string &file)
{
  return file == icon_bmp ? runs : refused;
}

SDL_Surface *asset(const std::string &file)
{
  return SDL_LoadBMP((std::string(FLUMO_ASSET_DIR "/") + file).c_str());
}

/* The same picture written at another depth, or another way. */
std::function<void(AssetDir &, const std::string &)>
reencoded(const std::function<std::string(SDL_Surface *)> &encode)
{
  return [encode](AssetDir &dir, const std::string &file) {
    SDL_Surface *s = asset(file);
    write_file(dir.file(file), encode(s));
    SDL_FreeSurface(s);
  };
}

std::string dot_bmp(void)
{
  SDL_Surface *dot = solid_surface(1, 1, 0x808080);
  std::string bmp = encode_bmp(dot, 24);
  SDL_FreeSurface(dot);
  return bmp;
}

/* A file with the bytes at offset `at` set to v, little-endian. */
std::string patched(std::string bmp, size_t at, Uint32 v, int bytes = 4)
{
  char le[4];
  for (int i = 0; i < bytes; i++)
    le[i] = char(v >> 8 * i);
  return bmp.replace(at, size_t(bytes), le, size_t(bytes));
}

std::vector<Case> cases(void)
{
  std::vector<Case> all;
  for (std::string f : all_assets) {
    std::string other = is_bitmap(f) ? clip_wav : normal_bmp;
    all.push_back(
        {f, "missing",
         [](AssetDir &d, const std::string &f) { unlink(d.file(f).c_str()); },
         bad(f)});
    all.push_back(
        {f, "empty",
         [](AssetDir &d, const std::string &f) { write_file(d.file(f), ""); },
         bad(f)});
    all.push_back({f, "cut after its header",
                   [](AssetDir &d, const std::string &f) {
                     write_file(d.file(f), read_file(d.file(f)).substr(0, 30));
                   },
                   bad(f)});
    /* half a clip plays the half that is there */
    all.push_back({f, "cut in half",
                   [](AssetDir &d, const std::string &f) {
                     std::string s = read_file(d.file(f));
                     write_file(d.file(f), s.substr(0, s.size() / 2));
                   },
                   is_bitmap(f) ? bad(f) : runs});
    all.push_back({f, "a directory",
                   [](AssetDir &d, const std::string &f) {
                     unlink(d.file(f).c_str());
                     mkdir(d.file(f).c_str(), 0755);
                   },
                   bad(f)});
    all.push_back(
        {f, "unreadable",
         [](AssetDir &d, const std::string &f) { chmod(d.file(f).c_str(), 0); },
         bad(f)});
    all.push_back({f, "random bytes",
                   [](AssetDir &d, const std::string &f) {
                     std::mt19937 rng(7);
                     std::string junk(5000, '\0');
                     for (char &c : junk)
                       c = char(rng());
                     write_file(d.file(f), junk);
                   },
                   bad(f)});
    all.push_back({f, "the other kind (" + other + ")",
                   [other](AssetDir &d, const std::string &f) {
                     write_file(d.file(f), read_file(d.file(other)));
                   },
                   bad(f)});
    if (!is_bitmap(f))
      continue;
    for (int bits : {1, 4, 8, 16, 24, 32})
      all.push_back(
          {f, std::to_string(bits) + " bits a pixel",
           reencoded([bits](SDL_Surface *s) { return encode_bmp(s, bits); }),
           runs});
    /* sdl12-compat reads the fourth byte as alpha, and from 1.2.68 on
       ignores the colour key of a surface with alpha, as SDL 1.2 defines;
       to the classic library it is unused, so 255 there is not black */
    all.push_back(
        {f, "32 bits a pixel, the fourth byte 255",
         reencoded([](SDL_Surface *s) {
           return encode_bmp(s, 32, BmpForm{false, false, false, 0xff});
         }),
         runs});
    /* alpha, partly: pictures are drawn opaque, and black keyed out of
       the strip, whatever the fourth byte holds */
    for (bool masks : {false, true})
      all.push_back(
          {f,
           masks ? "32 bits with an alpha mask, the alpha half"
                 : "32 bits a pixel, the fourth byte 128",
           reencoded([masks](SDL_Surface *s) {
             return encode_bmp(s, 32, BmpForm{false, masks, false, 0x80});
           }),
           runs, "",
           reencoded([](SDL_Surface *s) { return encode_bmp(s, 32); })});
  }
  /* the classic library reads a palette from 40 bytes into the header,
     whatever its length: OS/2 2.x's is 64, ImageMagick writes 124 */
  for (std::string f : {normal_bmp, icon_bmp})
    for (auto [bits, header] : {std::pair{1, 64u}, {4, 108u}, {8, 124u}})
      all.push_back({f,
                     std::to_string(bits) + " bits a pixel, a " +
                         std::to_string(header) + "-byte header",
                     reencoded([bits = bits, header = header](SDL_Surface *s) {
                       return encode_bmp(
                           s, bits,
                           BmpForm{header == 108, false, false, 0, header});
                     }),
                     runs, "", reencoded([bits = bits](SDL_Surface *s) {
                       return encode_bmp(s, bits);
                     })});
  all.push_back({digits_bmp, "black twice in its palette",
                 reencoded(encode_bmp_with_late_black), runs});
  all.push_back({digits_bmp, "no black in its palette",
                 reencoded(encode_bmp_without_black), runs});
  all.push_back({digits_bmp, "smaller than 290 x 100",
                 reencoded([](SDL_Surface *s) {
                   SDL_Rect part = {0, 0, 150, 60};
                   SDL_Surface *small = solid_surface(150, 60, 0);
                   SDL_BlitSurface(s, &part, small, NULL);
                   std::string bmp = encode_bmp(small, 24);
                   SDL_FreeSurface(small);
                   return bmp;
                 }),
                 runs});
  all.push_back({normal_bmp, "1 x 1",
                 [](AssetDir &d, const std::string &f) {
                   write_file(d.file(f), dot_bmp());
                 },
                 runs});
  /* SDL 1.2 keeps a row's length in 16 bits: 16383 pixels of four bytes is
     the longest; a window of 16384 crashed sdl12-compat's blits. Both are
     wider than any screen the tests have. */
  for (Uint32 w : {16383, 16384})
    all.push_back({w == 16383 ? digits_bmp : normal_bmp,
                   std::to_string(w) + " x 1",
                   [w](AssetDir &d, const std::string &f) {
                     /* written here: the classic library makes no surface
                        that wide */
                     std::string bmp = dot_bmp().substr(0, 54);
                     for (int i = 0; i < 4; i++)
                       bmp[18 + i] = char(w >> 8 * i);
                     bmp.append((w * 3 + 3) / 4 * 4, '\x60');
                     write_file(d.file(f), bmp);
                   },
                   refused});
  all.push_back({normal_bmp, "1 x 1 whose header says 16384 rows",
                 [](AssetDir &d, const std::string &f) {
                   std::string bmp = dot_bmp();
                   bmp[22] = 0, bmp[23] = 0x40; /* 16384, bottom-up */
                   write_file(d.file(f), bmp);
                 },
                 refused});
  /* a clip of nothing would play silence */
  all.push_back({clip_wav, "no samples",
                 [](AssetDir &d, const std::string &f) {
                   write_file(d.file(f), make_wav(44100, 16, 1, 0,
                                                  [](int) { return 0.0; }));
                 },
                 refused, "no samples"});
  /* MS ADPCM's blocks, each limit from both sides: a block of 256 bytes
     in one channel holds 500 frames, each block names one of 7 sets of
     coefficients, and those are the seven every encoder writes */
  struct Patch {
    std::string what;
    size_t at;
    Uint32 value;
    int bytes;
    Expect expect;
    std::string reason = "";
  };
  const size_t per_block = 38, coefficients = 42, first_block = 78;
  std::string ms = make_wav(
      44100, 4, 1, 2000, [](int i) { return .5 * std::sin(i * .06); },
      WavForm{2});
  for (const Patch &p : std::vector<Patch>{
           {"500 frames a block", per_block, 500, 2, runs},
           {"498 frames a block", per_block, 498, 2, refused,
            "ADPCM blocks of 256 bytes said to hold 498 frames"},
           {"499 frames a block", per_block, 499, 2, refused,
            "ADPCM blocks of 256 bytes said to hold 499 frames"},
           {"502 frames a block", per_block, 502, 2, refused,
            "ADPCM blocks of 256 bytes said to hold 502 frames"},
           {"a block naming the 7th coefficients", first_block + 256, 6, 1,
            runs},
           {"a block naming an 8th", first_block + 256, 7, 1, refused,
            "MS ADPCM whose block 2 names coefficients it does not have"},
           {"coefficients of its own", coefficients, 0x200, 2, refused,
            "MS ADPCM samples with coefficients of their own"},
           {"3 channels", 22, 3, 2, refused,
            "4-bit MS ADPCM samples in 3 channels, not 1 or 2"}})
    all.push_back({clip_wav, "MS ADPCM, " + p.what,
                   put(patched(ms, p.at, p.value, p.bytes)), p.expect,
                   p.reason});
  /* a chunk's name reaches a terminal as printable letters alone */
  all.push_back({clip_wav, "cut short in a chunk named with an escape",
                 put(std::string("RIFF\x20\0\0\0WAVE\x1b[2J\xe8\x03\0\0", 20) +
                     std::string(12, '\0')),
                 refused, "a file cut short in its ?[2J chunk"});
  struct Clip {
    int rate, bits, channels, frames;
    Expect expect;
    std::string reason = "";
  };
  const int ten_minutes = 600 * 1000; /* frames at 1000 Hz */
  std::vector<Clip> clips = {
      /* at the limits of what a clip may be, and past them; ten minutes
         are counted in frames, not bytes (4 a frame at 16 bits, stereo) */
      {1000, 8, 8, 1000, runs},
      {44100, 16, 9, 4410, refused, "9 channels, not 1 to 8"},
      {44100, 16, 0, 4410, refused, "0 channels, not 1 to 8"},
      /* the classic library keeps 8 bits of it, and played this as one */
      {44100, 16, 257, 441, refused, "257 channels, not 1 to 8"},
      {999, 16, 1, 999, refused, "a rate of 999 Hz, not 1000 to 384000"},
      {384000, 16, 2, 38400, runs},
      {384001, 8, 1, 38400, refused, "a rate of 384001 Hz, not 1000 to 384000"},
      {1000, 8, 1, ten_minutes, runs},
      {1000, 8, 1, ten_minutes + 1, refused,
       "600.001 seconds long, more than 600"},
      {1000, 16, 2, ten_minutes, runs},
      {1000, 16, 2, ten_minutes + 1, refused,
       "600.001 seconds long, more than 600"}};
  /* channels SDL 1.2 cannot mix into one, and SDL 3 not in pieces of
     every length */
  for (int channels : {3, 5, 6, 7})
    clips.push_back({44100, 16, channels, 4410, runs});
  for (int rate : {8000, 11025, 22050, 44100, 48000, 96000})
    for (int bits : {8, 16})
      for (int channels : {1, 2})
        clips.push_back({rate, bits, channels, rate / 10, runs});
  for (Clip c : clips)
    all.push_back({clip_wav,
                   std::to_string(c.rate) + " Hz " + std::to_string(c.bits) +
                       " bits " + std::to_string(c.channels) + " channels " +
                       std::to_string(c.frames) + " frames",
                   [=](AssetDir &d, const std::string &f) {
                     write_file(d.file(f),
                                make_wav(c.rate, c.bits, c.channels, c.frames,
                                         [&](int i) {
                                           return .5 * std::sin(i * 2 * M_PI *
                                                                440 / c.rate);
                                         }));
                   },
                   c.expect, c.reason});
  return all;
}

/* The same bitmap with the header OS/2 2.x wrote: 64 bytes, whose
   compressions are numbered as Windows' are but mean other codings. */
std::string os2_header(const std::string &bmp, Uint32 compression)
{
  std::string out = patched(bmp.substr(0, 54), 14, 64);
  out = patched(patched(out, 30, compression), 10, 14 + 64);
  out += std::string(24, '\0') + bmp.substr(54);
  return patched(out, 2, Uint32(out.size()));
}

/* A picture of w x h in one colour, as a tool writes it: run-length
   encoded, 8 bits, in runs of 255 pixels. */
std::string rle8_bmp(Uint32 w, Uint32 h)
{
  SDL_Surface *dot = solid_surface(1, 1, 0x808080);
  std::string head = encode_bmp(dot, 8, BmpForm{false, false, true});
  SDL_FreeSurface(dot);
  head.resize(head.size() - 4); /* the dot's row and the bitmap's end */
  std::string row;
  for (Uint32 x = 0; x < w; x += 255)
    row += char(std::min<Uint32>(255, w - x)), row += '\0';
  std::string pixels;
  for (Uint32 y = 0; y < h; y++)
    pixels += row + std::string(y + 1 < h ? "\0\0" : "\0\1", 2);
  std::string bmp = patched(patched(head, 18, w), 22, h) + pixels;
  return patched(patched(bmp, 2, Uint32(bmp.size())), 34,
                 Uint32(pixels.size()));
}

std::string solid_bmp(int w, int h, int bits, BmpForm form = {})
{
  SDL_Surface *s = solid_surface(w, h, 0x808080);
  std::string bmp = encode_bmp(s, bits, form);
  SDL_FreeSurface(s);
  return bmp;
}

/* A w x h bitmap of one bit a pixel, written here: the classic library
   makes no surface as wide as the longest side. */
std::string one_bit_bmp(Uint32 w, Uint32 h, BmpForm form)
{
  std::string bmp = solid_bmp(1, 1, 1, form);
  int side = form.header == 12 ? 2 : 4; /* OS/2 1.x's sides are 16 bits */
  bmp = patched(bmp.substr(0, Uint8(bmp[10]) + (Uint8(bmp[11]) << 8)), 18, w,
                side);
  bmp = patched(bmp, 18 + side, form.top_down ? -h : h, side);
  bmp += std::string((w + 31) / 32 * 4 * h, '\x55');
  return patched(bmp, 2, Uint32(bmp.size()));
}

/* Each limit the program puts on a bitmap, from both sides, in each kind
   of header and row order: the bytes its header takes (with the colour
   masks SDL reads after its fields, and its palette) and its pixels take
   (every row padded to four bytes, the last of 1 or 4 bits but for its
   padding), the screen's size and the longest side. In the pressed
   picture's place, which needs no window of its size. */
std::vector<Case> limits(void)
{
  std::vector<Case> all;
  for (Uint32 header : bmp_headers)
    for (bool top_down : {false, true}) {
      if (header == 12 && top_down)
        continue; /* its sides are unsigned */
      if (header == 16 && top_down)
        continue; /* refused whatever follows: bottom-up's rows show it */
      BmpForm form{top_down, false, false, 0, header};
      std::string kind = std::to_string(header) + "-byte header, " +
                         (top_down ? "top-down" : "bottom-up") + ", ";
      auto row = [&](const std::string &what, const std::string &bmp,
                     Expect expect, const std::string &reason) {
        if (header > 12 && header < 40) /* whatever follows */
          all.push_back({push_bmp, kind + what, put(bmp), refused,
                         "a header of " + std::to_string(header) +
                             " bytes, which SDL cannot read"});
        else
          all.push_back({push_bmp, kind + what, put(bmp), expect, reason});
      };
      auto too_few = [](size_t bytes, const std::string &what) {
        return std::to_string(bytes) + " bytes, too few for " + what;
      };
      for (int bits : {1, 4, 8, 16, 24, 32}) {
        std::string bmp = solid_bmp(3, 2, bits, form),
                    depth = std::to_string(bits) + " bits, ";
        size_t row_bytes = (3 * bits + 31) / 32 * 4,
               needed =
                   Uint8(bmp[10]) + (Uint8(bmp[11]) << 8) + row_bytes +
                   (bits == 1 || bits == 4 ? (3 * bits + 7) / 8 : row_bytes);
        /* SDL 3 reads the last row of 1 or 4 bits with its padding */
        Expect last_row =
            bits == 1 || bits == 4 ? by_runtime(runs, runs, refused) : runs;
        row(depth + "the bytes its pixels take", bmp.substr(0, needed),
            last_row, "");
        row(depth + "a byte fewer", bmp.substr(0, needed - 1), refused,
            too_few(needed - 1, "its 3 x 2 pixels"));
      }
      /* where the header ends, with the masks SDL reads past its fields
         where 16 or 32 bits a pixel lie apart from it, and where its
         palette ends; the same in either row order */
      std::vector<std::pair<int, BmpForm>> forms;
      for (int bits : {1, 4, 8, 16, 24, 32})
        for (bool apart : {false, true})
          if (!top_down && (!apart || bits == 16 || bits == 32))
            forms.push_back(
                {bits, BmpForm{false, false, false, 0, header, apart}});
      if (header == 40 && !top_down)
        for (int bits : {16, 32})
          forms.push_back({bits, BmpForm{false, true, false, 0, header}});
      for (auto [bits, f] : forms) {
        std::string bmp = solid_bmp(3, 2, bits, f),
                    depth = std::to_string(bits) + " bits" +
                            (f.masks ? " with masks" : "") +
                            (f.apart ? ", its pixels apart" : "") + ", ";
        size_t fields = header == 12 ? 12 : 40;
        bool masks_after = f.masks || (f.apart && (bits == 16 || bits == 32));
        size_t end =
            14 + std::max<size_t>(header, fields + (masks_after ? 12 : 0));
        size_t colours = bits <= 8 ? size_t(1) << bits : 0,
               palette_end = 14 + std::max<size_t>(header, fields) +
                             colours * (header == 12 ? 3 : 4);
        std::string in_palette = "its " + std::to_string(colours) + " colours";
        row(depth + "cut in its header", bmp.substr(0, end - 1), refused,
            too_few(end - 1, "a bitmap's header"));
        row(depth + "cut after its header", bmp.substr(0, end), refused,
            too_few(end, colours ? in_palette : "its 3 x 2 pixels"));
        if (!colours)
          continue;
        row(depth + "cut in its palette", bmp.substr(0, palette_end - 1),
            refused, too_few(palette_end - 1, in_palette));
        row(depth + "cut after its palette", bmp.substr(0, palette_end),
            refused, too_few(palette_end, "its 3 x 2 pixels"));
      }
      for (auto [w, h] : {std::pair{1024, 768}, {1025, 768}, {1024, 769}}) {
        std::string size = std::to_string(w) + " x " + std::to_string(h);
        row(size, one_bit_bmp(w, h, form), w * h > 1024 * 768 ? refused : runs,
            size + " pixels, larger than the 1024 x 768 screen");
      }
      for (int side : {16383, 16384})
        for (bool wide : {true, false}) {
          std::string size = wide ? std::to_string(side) + " x 1"
                                  : "1 x " + std::to_string(side);
          row(size, one_bit_bmp(wide ? side : 1, wide ? 1 : side, form),
              refused,
              size + (side > 16383
                          ? " pixels, more than 16383 a side"
                          : " pixels, larger than the 1024 x 768 screen"));
        }
    }
  return all;
}

/* A bitmap of 16 bits a pixel with these masks, in the header the alpha
   mask needs. */
BmpForm masks16(Uint32 red, Uint32 green, Uint32 blue, Uint32 alpha)
{
  BmpForm form{false, true, false, 0, alpha ? 56u : 40u};
  form.red = red, form.green = green, form.blue = blue, form.alpha = alpha;
  return form;
}

/* Every way of writing a picture or a clip that a user may meet, which
   one runtime reads and another may not, or none does, in place of each
   file of its kind: run, or refused with the line given. The tests' X
   server has a 1024 x 768 screen. */
std::vector<Case> formats(void)
{
  using Encode = std::function<std::string(SDL_Surface *)>;
  struct Picture {
    std::string what;
    Encode encode;
    Expect expect;
    std::string reason;
  };
  auto sized = [](std::function<std::string()> make) -> Encode {
    return [make](SDL_Surface *) { return make(); };
  };
  /* the classic library reads no compressed bitmap; sdl12-compat reads
     both run-length encodings */
  Expect compressed = on_sdl12_compat() ? runs : refused;
  auto classic_says = [](int bits) {
    return on_sdl12_compat()
               ? ""
               : "a bitmap of " + std::to_string(bits) +
                     " bits a pixel, run-length encoded (RLE" +
                     std::to_string(bits) + "), which SDL 1.2.15 cannot read";
  };
  std::vector<Picture> pictures = {
      {"run-length encoded, 8 bits",
       [](SDL_Surface *s) {
         return encode_bmp(s, 8, {false, false, true});
       },
       compressed, classic_says(8)},
      {"run-length encoded, 4 bits",
       [](SDL_Surface *s) {
         return encode_bmp(s, 4, {false, false, true});
       },
       compressed, classic_says(4)},
      {"56-byte header (GIMP's), 24 bits",
       [](SDL_Surface *s) {
         return encode_bmp(s, 24, BmpForm{false, false, false, 0, 56});
       },
       runs, ""},
      {"16 bits, 5-6-5 bit fields",
       [](SDL_Surface *s) {
         return encode_bmp(s, 16, {false, true});
       },
       runs, ""},
      {"16 bits, 5-5-5 bit fields",
       [](SDL_Surface *s) {
         return encode_bmp(s, 16, masks16(0x7c00, 0x03e0, 0x001f, 0));
       },
       runs, ""},
      {"16 bits, 1-5-5-5 bit fields with alpha",
       [](SDL_Surface *s) {
         return encode_bmp(s, 16, masks16(0x7c00, 0x03e0, 0x001f, 0x8000));
       },
       runs, ""},
      {"16 bits, 4-4-4-4 bit fields with alpha",
       [](SDL_Surface *s) {
         return encode_bmp(s, 16, masks16(0x0f00, 0x00f0, 0x000f, 0xf000));
       },
       runs, ""},
      /* as ffmpeg writes its rgb444 */
      {"16 bits, 4-4-4 bit fields",
       [](SDL_Surface *s) {
         return encode_bmp(s, 16, masks16(0x0f00, 0x00f0, 0x000f, 0));
       },
       by_runtime(runs, refused, refused),
       "a bitmap of 16 bits a pixel, 4-4-4 bits of red, green and blue, which "
       "SDL"},
      {"32 bits, 10 a channel",
       [](SDL_Surface *s) {
         std::string b = encode_bmp(s, 32, {false, true});
         b = patched(patched(b, 54, 0x3ff00000), 58, 0xffc00);
         return patched(patched(b, 62, 0x3ff), 66, 0);
       },
       by_runtime(runs, refused, runs), ""},
      {"OS/2, compressed with RLE24",
       [](SDL_Surface *s) { return os2_header(encode_bmp(s, 24), 4); }, refused,
       "compressed with RLE24, which SDL cannot read"},
      {"a JPEG in a bitmap",
       [](SDL_Surface *s) {
         return patched(patched(encode_bmp(s, 24), 28, 0, 2), 30, 4);
       },
       refused, "a JPEG picture in a bitmap, which SDL cannot read"},
      {"a PNG in a bitmap",
       [](SDL_Surface *s) {
         return patched(patched(encode_bmp(s, 24), 28, 0, 2), 30, 5);
       },
       refused, "a PNG picture in a bitmap, which SDL cannot read"},
      {"64 bits a pixel",
       [](SDL_Surface *s) {
         std::string b = encode_bmp(s, 32);
         return patched(b + b.substr(54), 28, 64, 2);
       },
       refused, "64 bits a pixel, which SDL cannot draw"},
      {"48 bits a pixel",
       [](SDL_Surface *s) {
         std::string b = encode_bmp(s, 24);
         return patched(b + b.substr(54), 28, 48, 2);
       },
       refused, "48 bits a pixel, which SDL cannot draw"},
      {"1025 x 768, wider than the screen",
       sized([] { return solid_bmp(1025, 768, 24); }), refused,
       "1025 x 768 pixels, larger than the 1024 x 768 screen"},
      {"1024 x 769, taller than the screen",
       sized([] { return solid_bmp(1024, 769, 24); }), refused,
       "1024 x 769 pixels, larger than the 1024 x 768 screen"},
      {"4096 x 4096 in 147 KB, run-length encoded",
       sized([] { return rle8_bmp(4096, 4096); }), refused,
       "4096 x 4096 pixels, larger than the 1024 x 768 screen"},
      {"1024 x 768, 1 bit: the screen's size",
       sized([] { return solid_bmp(1024, 768, 1); }), runs, ""}};
  std::vector<Case> all;
  /* Under Wine, where a run takes a second and more, the resting picture
     and the strip stand for the others: the pressed picture is loaded as
     the resting one is, and the icon the same way, then left out. */
  auto tried_in = [](const std::string &f) {
    return is_bitmap(f) &&
           (!under_wine() || f == normal_bmp || f == digits_bmp);
  };
  for (const Picture &p : pictures)
    for (std::string f : all_assets)
      if (tried_in(f)) /* an icon that cannot be used is left out */
        all.push_back({f, p.what, reencoded(p.encode),
                       f == icon_bmp ? runs : p.expect,
                       f == icon_bmp ? "" : p.reason});

  struct Clip {
    std::string what;
    int bits, channels;
    WavForm form;
    Expect expect;
    std::string reason = "";
  };
  /* sdl12-compat reads what SDL2 reads, but for samples wider than 16 bits */
  Expect newer = by_runtime(refused, runs, runs);
  auto wav_form = [](int coding, std::function<void(WavForm &)> set) {
    WavForm form{coding};
    set(form);
    return form;
  };
  for (const Clip &c : std::vector<Clip>{
           {"24 bits", 24, 1, {}, refused, "24-bit samples, not 8 or 16"},
           {"32 bits", 32, 1, {}, refused, "32-bit samples, not 8 or 16"},
           {"32-bit floats",
            32,
            1,
            {3},
            refused,
            "32-bit floating-point samples, which SDL cannot read"},
           {"mu-law", 8, 1, {7}, newer, "8-bit mu-law samples, which SDL "},
           {"A-law", 8, 1, {6}, newer, "8-bit A-law samples, which SDL "},
           {"16 bits, 2 channels, the extensible header",
            16,
            2,
            {1, true},
            newer,
            "16-bit samples in an extensible format chunk, which SDL "},
           {"a JUNK chunk before its format",
            16,
            1,
            {1, false, true},
            newer,
            "16-bit samples, after a JUNK chunk, which SDL "},
           {"MS ADPCM", 4, 1, {2}, runs},
           {"IMA ADPCM, 2 channels", 4, 2, {0x11}, runs},
           {"GSM 6.10",
            0,
            1,
            {0x31},
            refused,
            "GSM 6.10 samples, which SDL cannot read"},
           {"RF64", 16, 1, wav_form(1, [](WavForm &f) { f.rf64 = true; }),
            refused, "an RF64 file, which SDL cannot read"},
           {"a LIST chunk after its format (ffmpeg's)", 16, 2,
            wav_form(1, [](WavForm &f) { f.list_after_format = true; }), runs},
           {"its sizes 0xFFFFFFFF, as streamed", 16, 1,
            wav_form(1, [](WavForm &f) { f.streamed = true; }), runs}})
    all.push_back({clip_wav, c.what,
                   [c](AssetDir &d, const std::string &f) {
                     write_file(d.file(f), make_wav(
                                               44100, c.bits, c.channels, 4410,
                                               [](int i) {
                                                 return .5 * std::sin(i * .06);
                                               },
                                               c.form));
                   },
                   c.expect, c.reason});
  return all;
}

/* What the program runs with: the tests' X server, and no sound device,
   as none opens in a folder that does not exist (closing one takes SDL2's
   dummy driver a quarter of a second). */
std::vector<Env> on_screen(const XServer &x)
{
  return {{"DISPLAY", x.name()},
          {"SDL_AUDIODRIVER", "disk"},
          {"SDL_DISKAUDIOFILE", "no/such/folder/out.raw"}};
}

/* Runs the program on the folder, as another user where the file must be
   unreadable and the tests run as root, who may read anything. That user
   may not reach the build folder (a home folder is 0700 on newer systems),
   so the program and the tracer are copied beside the files; and a change
   of user clears the parent-death signal, so setpriv sets it again. */
pid_t start_in(AssetDir &dir, bool as_nobody, std::vector<Env> env)
{
  std::string bin = FLUMO_BIN, tracer = FLUMO_TRACE_SHIM;
  std::vector<std::string> argv;
  if (as_nobody && getuid() == 0) {
    bin = dir.file("flumo"), tracer = dir.file("trace_shim.so");
    write_file(bin, read_file(FLUMO_BIN));
    write_file(tracer, read_file(FLUMO_TRACE_SHIM));
    chmod(bin.c_str(), 0755);
    chmod(dir.path.c_str(), 0777);
    argv = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
            "--clear-groups", "--pdeathsig=KILL"};
    env.push_back({"HOME", dir.path}); /* for the GL library's cache */
  }
  argv.push_back(bin);
  env.push_back({"LD_PRELOAD", tracer});
  env.push_back({"FLUMO_TRACE", dir.file("trace")});
  return start(argv, dir.path, env, dir.file("stderr"));
}

/* A run that ended with status: refused with one line naming the file and
   its role's status, or, once it had drawn, closed as usual. */
void expect_refused_or_ran(const Case &c, int status, bool drawn,
                           const std::string &err)
{
  ASSERT_TRUE(WIFEXITED(status))
      << "killed by signal " << WTERMSIG(status) << ": " << err;
  if (drawn && WEXITSTATUS(status) == 0) {
    EXPECT_NE(c.expect, refused) << "ran";
    EXPECT_EQ(err, "");
  } else {
    EXPECT_NE(c.expect, runs) << "refused: " << err;
    EXPECT_EQ(WEXITSTATUS(status), failure_status_for(c.file));
    EXPECT_EQ(err.rfind("Couldn't load " + c.file + ": ", 0) == 0 ||
                  err.rfind("Couldn't set video mode: ", 0) == 0,
              true)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  }
}

/* How a run as a user starts the program ended. */
struct UserRun {
  int status = -1;    /* as from waitpid; -1 if it hung */
  bool drawn = false; /* its window came up */
  long peak_kb = 0;   /* its peak resident memory, but under Wine */
};

/* Starts the program on the folder as a user would, under Wine too; once
   its window is up, closes it. GNU time measures what it took. */
UserRun run_as_user(XServer &x, AssetDir &dir)
{
  std::vector<std::string> argv = program_command(dir);
  if (!under_wine())
    argv.insert(argv.begin(),
                {"/usr/bin/time", "-f", "%M", "-o", dir.file("peak")});
  pid_t pid = start(argv, dir.path, on_screen(x), dir.file("stderr"));
  UserRun run;
  Window win = 0;
  bool ended = false;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!ended && !win && std::chrono::steady_clock::now() < until)
    if (!(ended = waitpid(pid, &run.status, WNOHANG) == pid))
      win = x.find_window(caption, 50);
  if (win)
    x.request_close(win);
  if (!ended) /* closed, or hung: then it is killed */
    run.status = wait_for(pid, win ? 10000 : 0);
  run.drawn = win != 0;
  std::string peak = read_file(dir.file("peak"));
  run.peak_kb = atol(peak.c_str() + peak.rfind('\n', peak.size() - 2) + 1);
  return run;
}

/* Case c run as a user would, and how it ended checked; what the program
   said goes to *err. */
UserRun try_as_user(XServer &x, const Case &c, std::string *err)
{
  AssetDir dir(all_assets);
  c.make(dir, c.file);
  UserRun run = run_as_user(x, dir);
  *err = program_stderr(program_errors(dir));
  /* Every way the program ends with a failure says why. Wine, when it
     once in a while fails to start it, says nothing (its messages are
     off) and ends with 1: that start is made again. */
  if (under_wine() && !run.drawn && err->empty() && WIFEXITED(run.status) &&
      WEXITSTATUS(run.status) == 1) {
    printf("(Wine did not start it, and said nothing: once more)\n");
    run = run_as_user(x, dir);
    *err = program_stderr(program_errors(dir));
  }
  EXPECT_NE(run.status, -1) << "hangs in start-up, or when closed";
  if (run.status != -1)
    expect_refused_or_ran(c, run.status, run.drawn, *err);
  return run;
}

/* A file for each way one ever made the program crash, hang or run out of
   memory, in each role of its kind: those the fuzz targets found, and those
   written here, found otherwise. */
std::vector<Case> files_that_failed(void)
{
  std::map<std::string, std::string> files; /* name: bytes */
  for (std::string kind : {"bitmap", "clip"})
    for (const auto &entry :
         std::filesystem::directory_iterator(FLUMO_REGRESSIONS "/" + kind))
      files[entry.path().filename()] = read_file(entry.path());
  /* a depth of 257 bits: the classic library keeps 1 of them and blits
     33-byte pixels through a palette it never made */
  std::string deep = dot_bmp().substr(0, 54) + std::string(36, '\x60');
  deep[28] = 1, deep[29] = 1;
  files["257-bits.bmp"] = deep;
  /* the oldest header, 16 bits a pixel whose pixels start inside it: the
     classic library read three masks from past the file's 30 bytes */
  std::string core = patched(patched(dot_bmp().substr(0, 26), 14, 12), 10, 14);
  core = patched(patched(core, 18, 0x10001), 22, 0x100001);
  files["masks-past-the-end.bmp"] = patched(core + "\x11\x22\x33\x44", 2, 30);
  /* rates the classic library's converter ran out of its table of steps
     on, and one whose conversion crashed sdl12-compat's */
  auto tone = [](int i) { return .5 * std::sin(i * .3); };
  for (int rate : {0, 3, 300})
    files[std::to_string(rate) + "-hz-stereo.wav"] =
        make_wav(rate, 8, 2, 1000, tone);
  files["10-hz-200-kb.wav"] = make_wav(10, 8, 1, 200000, tone);

  /* the files that once made it fail are all refused now */
  std::vector<Case> all;
  for (const auto &[name, bytes] : files)
    for (std::string f : all_assets)
      if (is_bitmap(f) == is_bitmap(name))
        all.push_back({f, name, put(bytes), bad(f)});
  return all;
}

/* Each case run through to its end, or to its first frame, and its outcome
   checked. */
void run_each(const std::vector<Case> &all)
{
  XServer x;
  ASSERT_TRUE(x.ok());
  for (const Case &c : all) {
    SCOPED_TRACE(c.file + ", " + c.what);
    AssetDir dir(all_assets);
    c.make(dir, c.file);
    pid_t pid = start_in(dir, c.what == "unreadable", on_screen(x));

    /* it ends by itself, or draws its first frame */
    int status = -1;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until &&
           waitpid(pid, &status, WNOHANG) == 0 &&
           read_file(dir.file("trace")).find("frame") == std::string::npos)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    bool drawn =
        read_file(dir.file("trace")).find("frame") != std::string::npos;
    if (status == -1) {
      ASSERT_TRUE(drawn) << "hangs in start-up";
      kill(pid, SIGTERM);
      status = wait_for(pid, 10000);
    }
    expect_refused_or_ran(c, status, drawn,
                          program_stderr(read_file(dir.file("stderr"))));
  }
  printf("%zu cases tried\n", all.size());
}

} // namespace

TEST(Sweep, EveryBadFileIsRefusedOrRunsCorrectly)
{
  run_each(cases());
}

/* Apart from the other cases, so that the two can run side by side. */
TEST(Sweep, EachLimitOfABitmapHoldsFromBothSides)
{
  run_each(limits());
}

/* The bitmaps that load must also look right: the window shows exactly
   what the files hold, with black and only black keyed out of the strip. */
TEST(Sweep, BitmapsOfEveryKindDrawTheRightPicture)
{
  XServer x;
  ASSERT_TRUE(x.ok());
  for (const Case &c : cases()) {
    if (c.expect != runs || !is_bitmap(c.file) || c.file == icon_bmp ||
        c.what == "1 x 1")
      continue;
    SCOPED_TRACE(c.file + ", " + c.what);
    AssetDir dir(all_assets), look(all_assets); /* what it must show */
    c.make(dir, c.file);
    (c.plainly ? c.plainly : c.make)(look, c.file);
    pid_t pid = start_in(dir, false, on_screen(x));
    Window win = x.find_window(caption, 10000);
    ASSERT_NE(win, 0u) << read_file(dir.file("stderr"));
    ASSERT_TRUE(x.xdotool("windowfocus --sync " + std::to_string(win)));

    auto shows = [&](const std::string &background, int count) {
      return x.wait_for_picture(win, composed(look.path, background, count)) ==
             0;
    };
    EXPECT_TRUE(shows(normal_bmp, 0));
    x.xdotool("keydown space");
    EXPECT_TRUE(shows(push_bmp, 1));
    x.xdotool("keyup space");
    for (int n = 2; n <= 18; n++)
      x.xdotool("keydown space keyup space");
    EXPECT_TRUE(shows(normal_bmp, 18));
    x.request_close(win);
    int status = wait_for(pid, 10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

/* The same files run as a user starts the program, under Wine too: the
   Windows build carries the classic library, where several of them
   crashed. Drawn means the window came up; closing it must end it well. */
TEST(Sweep, FilesThatOnceFailedAreRefusedOrRun)
{
  XServer x;
  ASSERT_TRUE(x.ok());
  for (const Case &c : files_that_failed()) {
    SCOPED_TRACE(c.file + ", " + c.what);
    std::string err;
    try_as_user(x, c, &err);
  }
}

/* Every format, in every role, on every runtime and under Wine; each
   outcome is printed, as the table of what each runtime reads (docs/files.md)
   gives them. Whatever a picture's compression, it takes no more than 30
   bytes for each pixel of the screen beyond what the program takes with
   its own files. */
TEST(Sweep, FilesOfEveryFormatAreRefusedOrRun)
{
  const long bytes_a_screen_pixel = 30, screen_pixels = 1024 * 768;
  XServer x;
  ASSERT_TRUE(x.ok());
  AssetDir own(all_assets);
  UserRun base = run_as_user(x, own);
  ASSERT_TRUE(base.drawn) << program_errors(own);
  long most_kb = 0;
  for (const Case &c : formats()) {
    SCOPED_TRACE(c.file + ", " + c.what);
    std::string err;
    UserRun run = try_as_user(x, c, &err);
    if (!under_wine() && is_bitmap(c.file)) {
      EXPECT_LE(run.peak_kb - base.peak_kb,
                bytes_a_screen_pixel * screen_pixels / 1024)
          << "KiB more than with its own files";
      most_kb = std::max(most_kb, run.peak_kb - base.peak_kb);
    }
    printf("%s | %s | %s\n", c.what.c_str(), c.file.c_str(),
           run.drawn ? "runs" : err.substr(0, err.size() - 1).c_str());
  }
  if (!under_wine())
    printf("The most a picture took: %.1f bytes a pixel of the screen, "
           "beyond what the program takes with its own files\n",
           most_kb * 1024.0 / screen_pixels);
}
