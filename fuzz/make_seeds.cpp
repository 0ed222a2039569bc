/* Writes the fuzz targets' first inputs into two folders, for the bitmaps
   and for the clip: the program's own files, and the same picture and a
   click laid out every way the loaders know. Bitmaps of every depth,
   bottom-up and top-down, with and without colour masks, and run-length
   encoded, their pixels after the header or apart from it; clips of every
   rate, width and channel count, and of every coding and chunk layout the
   tests write. */

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "support/bmp.h"
#include "support/process.h"
#include "support/surfaces.h"
#include "support/wav.h"

int main(int argc, char *argv[])
{
  if (argc != 3) {
    fprintf(stderr, "usage: %s BITMAP_FOLDER CLIP_FOLDER\n", argv[0]);
    return 2;
  }
  std::string bitmaps = argv[1], clips = argv[2];
  for (const std::string &own : all_assets)
    write_file((own == clip_wav ? clips : bitmaps) + "/" + own,
               read_file(FLUMO_ASSET_DIR "/" + own));

  /* a corner of the digit strip (glyphs, black and both rows), and a few
     of its pixels, where a change to the header is a larger part */
  SDL_Surface *strip = SDL_LoadBMP((FLUMO_ASSET_DIR "/" + digits_bmp).c_str());
  for (int size : {64, 5}) {
    SDL_Surface *picture = solid_surface(size, size * 13 / 16, 0);
    SDL_Rect corner = {0, 48, Uint16(size), Uint16(size)};
    SDL_BlitSurface(strip, &corner, picture, NULL);
    std::string name = bitmaps + "/" + std::to_string(size) + "-";
    for (int bits : {1, 4, 8, 16, 24, 32})
      for (int layout = 0; layout < 6; layout++) {
        BmpForm form;
        form.top_down = layout & 1;
        form.masks = layout & 2;
        form.rle = layout & 4;
        form.fourth = form.masks ? 0xff : 0; /* opaque where read as alpha */
        if ((form.masks && bits != 16 && bits != 32) ||
            (form.rle && (form.top_down || (bits != 4 && bits != 8))))
          continue;
        write_file(name + std::to_string(bits) + "-" + std::to_string(layout) +
                       ".bmp",
                   encode_bmp(picture, bits, form));
      }
    for (int bits : {1, 4, 8, 16, 24, 32}) /* and every kind of header */
      for (Uint32 header : bmp_headers)
        for (bool apart : {false, true}) {
          BmpForm form;
          form.header = header;
          form.apart = apart;
          write_file(name + std::to_string(bits) + "-header-" +
                         std::to_string(header) + (apart ? "-apart" : "") +
                         ".bmp",
                     encode_bmp(picture, bits, form));
        }
    SDL_FreeSurface(picture);
  }
  SDL_FreeSurface(strip);

  for (int rate : {1000, 8000, 11025, 22050, 44100, 48000, 96000, 192000})
    for (int bits : {8, 16, 24, 32})
      for (int channels = 1; channels <= 8; channels++)
        write_file(clips + "/" + std::to_string(rate) + "-" +
                       std::to_string(bits) + "-" + std::to_string(channels) +
                       ".wav",
                   make_wav(rate, bits, channels, 400, [&](int i) {
                     return .5 * std::sin(i * 2 * M_PI * 440 / rate);
                   }));
  struct Coding {
    const char *name;
    int bits, coding;
  };
  for (Coding c : {Coding{"ms-adpcm", 4, 2},
                   {"ima-adpcm", 4, 0x11},
                   {"mu-law", 8, 7},
                   {"a-law", 8, 6},
                   {"float", 32, 3},
                   {"gsm", 0, 0x31},
                   {"pcm", 16, 1}})
    for (int layout = 0; layout < 4; layout++) {
      WavForm form{c.coding};
      form.list_after_format = layout == 1;
      form.streamed = layout == 2;
      form.junk_first = layout == 3;
      write_file(clips + "/" + c.name + "-" + std::to_string(layout) + ".wav",
                 make_wav(
                     22050, c.bits, 2, 1200,
                     [](int i) { return .5 * std::sin(i * .1); }, form));
    }
  return 0;
}
