/* Draws the program's pictures and writes them, as Windows bitmaps, into
   the folder given on the command line:
     flumo_normal.bmp  the resting button, which sets the window size
     flumo_push.bmp    the same button pushed in
     flumo_num.bmp     the digit strip: 10 cells of 29 x 50, two rows
     flumo_icon.bmp    32 x 32 window icon
     flumo.wav         the click of the button, in the device's format
     flumo-N.png       the icon for the desktop's menus and the web page,
                       N of 32, 64, 128, 192 and 512
     flumo-maskable.png  the web page's icon for a phone's home screen,
                       512 x 512, full-bleed: the button inside the middle
                       four fifths, which any mask leaves whole
     flumo.ico         the icon for Windows, at 16, 24, 32, 48 and 256
   Bitmaps are 32 bits a pixel with explicit colour masks and no alpha, the
   window's own layout, so the program's blits are plain copies on both
   SDL 1.2 runtimes. A second argument writes them as 24-bit or plain 32-bit
   bitmaps instead, to measure what that costs. */

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>

#include "settings.h"

namespace
{

struct Rgb {
  float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t)
{
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb c, float k)
{
  return {c.r * k, c.g * k, c.b * k};
}

Rgb rgb8(int r, int g, int b)
{
  return {r / 255.f, g / 255.f, b / 255.f};
}

struct Image {
  int w, h;
  std::vector<Rgb> px;
  Image(int width, int height, Rgb fill)
      : w(width), h(height), px(size_t(width) * height, fill)
  {
  }
  Rgb &at(int x, int y) { return px[size_t(y) * w + x]; }
};

/* Signed distance to a shape: negative inside. */
using Shape = std::function<float(float x, float y)>;
using Paint = std::function<Rgb(float x, float y)>;

Shape circle(float cx, float cy, float r)
{
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape rounded_box(float x0, float y0, float x1, float y1, float r)
{
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float hx = (x1 - x0) / 2 - r, hy = (y1 - y0) / 2 - r;
  return [=](float x, float y) {
    float dx = std::fabs(x - cx) - hx, dy = std::fabs(y - cy) - hy;
    float outside = std::hypot(std::max(dx, 0.f), std::max(dy, 0.f));
    return outside + std::min(std::max(dx, dy), 0.f) - r;
  };
}

Paint solid(Rgb c)
{
  return [=](float, float) { return c; };
}

Paint vertical(float y0, Rgb top, float y1, Rgb bottom)
{
  return [=](float, float y) {
    return mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.f, 1.f));
  };
}

/* Paints where the shape is, with one pixel of antialiased edge. */
void fill(Image &img, const Shape &shape, const Paint &paint, float alpha = 1)
{
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++) {
      float px = x + .5f, py = y + .5f;
      float cover = std::clamp(.5f - shape(px, py), 0.f, 1.f) * alpha;
      if (cover > 0)
        img.at(x, y) = mix(img.at(x, y), paint(px, py), cover);
    }
}

/* A soft shadow: the shape's edge blurred over `soft` pixels. */
void shadow(Image &img, const Shape &shape, float soft, float strength)
{
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++) {
      float d = shape(x + .5f, y + .5f);
      float k = std::clamp(1 - (d + soft / 2) / soft, 0.f, 1.f);
      Rgb &p = img.at(x, y);
      p = scale(p, 1 - strength * k * k);
    }
}

/* ---- the button ---- */

const Rgb backdrop = rgb8(44, 48, 58);
const Rgb body_top = rgb8(226, 224, 216);
const Rgb body_bottom = rgb8(188, 186, 178);
const Rgb screen_top = rgb8(22, 34, 29);
const Rgb screen_bottom = rgb8(12, 20, 17);
const Rgb cap_red = rgb8(222, 40, 32);

const int window_w = 240, window_h = 190;
const float button_x = 168, button_y = 95;

/* A dome lit from the upper left: bright near the light, dark at the rim. */
Paint dome(float cx, float cy, float r, Rgb base, float light)
{
  return [=](float x, float y) {
    float lx = cx - r * .35f, ly = cy - r * .4f;
    float t = std::clamp(std::hypot(x - lx, y - ly) / (r * 1.5f), 0.f, 1.f);
    Rgb lit = mix(base, rgb8(255, 210, 200), .3f * light);
    return mix(lit, scale(base, .45f), t);
  };
}

void draw_body(Image &img)
{
  shadow(img, rounded_box(8, 10, 234, 186, 20), 8, .5f);
  fill(img, rounded_box(5, 5, 235, 185, 20), solid(rgb8(240, 239, 234)));
  fill(img, rounded_box(6, 7, 234, 185, 19), solid(rgb8(150, 148, 142)));
  fill(img, rounded_box(6, 6, 234, 183, 19),
       vertical(6, body_top, 183, body_bottom));
}

/* Speaker holes above the counter, where the click comes from. */
void draw_grille(Image &img)
{
  for (int row = 0; row < 7; row++)
    for (int col = 0; col < 7; col++) {
      float x = 35 + col * 8, y = 36 + row * 8;
      fill(img, circle(x, y + .8f, 2.3f), solid(rgb8(250, 250, 246)));
      fill(img, circle(x, y, 2.3f), solid(rgb8(70, 70, 72)));
    }
}

/* The seven segments of a digit in a 29 x 50 cell, slanted a little. */
const unsigned char segments_of[10] = {0x3f, 0x06, 0x5b, 0x4f, 0x66,
                                       0x6d, 0x7d, 0x07, 0x7f, 0x6f};

float segment(int s, float x, float y)
{
  const float left = 6, right = 23, top = 6, mid = 25, bottom = 44, t = 4.6f;
  const float slant = .09f;
  x += (y - mid) * slant;
  float x0, y0, x1, y1; /* the segment's axis */
  switch (s) {
  case 0: x0 = left, y0 = top, x1 = right, y1 = top; break;
  case 1: x0 = right, y0 = top, x1 = right, y1 = mid; break;
  case 2: x0 = right, y0 = mid, x1 = right, y1 = bottom; break;
  case 3: x0 = left, y0 = bottom, x1 = right, y1 = bottom; break;
  case 4: x0 = left, y0 = mid, x1 = left, y1 = bottom; break;
  case 5: x0 = left, y0 = top, x1 = left, y1 = mid; break;
  default: x0 = left, y0 = mid, x1 = right, y1 = mid; break;
  }
  float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  float along = std::fabs(x0 == x1 ? y - cy : x - cx);
  float across = std::fabs(x0 == x1 ? x - cx : y - cy);
  float half = std::max(x1 - x0, y1 - y0) / 2 - .9f; /* gap at the joints */
  return std::max(across - t / 2, (along + across - half) / std::sqrt(2.f));
}

Shape digit_shape(int digit, float ox, float oy)
{
  return [=](float x, float y) {
    float d = 1e9f;
    for (int s = 0; s < 7; s++)
      if (segments_of[digit] >> s & 1)
        d = std::min(d, segment(s, x - ox, y - oy));
    return d;
  };
}

Shape all_segments(float ox, float oy)
{
  return digit_shape(8, ox, oy);
}

void draw_screen(Image &img)
{
  fill(img, rounded_box(22, 105, 96, 169, 7), solid(rgb8(246, 245, 240)));
  fill(img, rounded_box(22, 104, 96, 168, 7), solid(rgb8(92, 92, 96)));
  fill(img, rounded_box(27, 110, 91, 164, 3),
       vertical(110, screen_top, 164, screen_bottom));
  /* unlit segments, faintly, as on a real display, where the program
     draws the counter */
  fill(img, all_segments(tens_x, digits_y), solid(rgb8(30, 44, 38)));
  fill(img, all_segments(ones_x, digits_y), solid(rgb8(30, 44, 38)));
}

void draw_button(Image &img, bool pressed)
{
  const float cx = button_x, cy = button_y;
  /* the metal collar the cap sits in */
  shadow(img, circle(cx + 1, cy + 3, 54), 6, .35f);
  fill(img, circle(cx, cy, 54), [=](float x, float y) {
    float t = std::clamp((x - cx + y - cy) / 108 + .5f, 0.f, 1.f);
    return mix(rgb8(246, 246, 248), rgb8(120, 122, 128), t);
  });
  fill(img, circle(cx, cy, 47), [=](float x, float y) {
    float t = std::clamp((x - cx + y - cy) / 94 + .5f, 0.f, 1.f);
    return mix(rgb8(40, 40, 44), rgb8(96, 96, 104), t);
  });
  if (pressed) {
    /* pushed in: lower, darker, the collar's shadow across its top */
    const float py = cy + 2.5f, r = 42;
    fill(img, circle(cx, py, r), dome(cx, py, r, scale(cap_red, .8f), .45f));
    for (float drop : {5.f, 9.f}) {
      Shape cap = circle(cx, py, r), lit = circle(cx, py + drop, r);
      fill(
          img,
          [=](float x, float y) { return std::max(cap(x, y), -lit(x, y)); },
          solid(rgb8(20, 4, 4)), .25f);
    }
  } else {
    shadow(img, circle(cx + 1, cy + 4, 42), 6, .6f);
    fill(img, circle(cx, cy - 1, 42), dome(cx, cy - 1, 42, cap_red, 1));
    /* a soft gloss on the upper left of the dome */
    fill(img, circle(cx - 15, cy - 19, 11), solid(rgb8(255, 236, 230)), .35f);
    fill(img, circle(cx - 17, cy - 21, 5), solid(rgb8(255, 250, 248)), .55f);
  }
}

Image draw_device(bool pressed)
{
  Image img(window_w, window_h, backdrop);
  draw_body(img);
  draw_grille(img);
  draw_screen(img);
  draw_button(img, pressed);
  return img;
}

/* Light falling off around a lit segment, at distance d outside it. */
float glow(float d)
{
  return d < 3.5f ? .35f * std::exp(-d / 1.1f) : 0;
}

/* Lit segments over pure black, which the program keys out. Edge pixels are
   blended with the display's own pixels under the ones digit (the tens
   digit's look the same), never with black, so the glyphs sit on the
   display without a dark fringe. */
Image draw_digits(Image &device)
{
  const Rgb lit[2] = {rgb8(120, 250, 170), rgb8(255, 120, 70)};
  Image img(strip_w, strip_h, rgb8(0, 0, 0));
  for (int row = 0; row < 2; row++)
    for (int d = 0; d < 10; d++) {
      Shape shape = digit_shape(d, 0, 0);
      for (int y = 0; y < glyph_h; y++)
        for (int x = 0; x < glyph_w; x++) {
          float dist = shape(x + .5f, y + .5f);
          float cover = std::clamp(.5f - dist, 0.f, 1.f);
          if (row == 1 && cover <= 0)
            cover = glow(dist); /* the ceiling glows */
          if (cover > 0)
            img.at(glyph_w * d + x, glyph_h * row + y) =
                mix(device.at(ones_x + x, digits_y + y), lit[row], cover);
        }
    }
  return img;
}

/* The button seen from above, filling a square of `size` pixels. */
Image draw_icon(int size)
{
  const float k = size / 32.f, c = 16 * k;
  Image img(size, size, backdrop);
  fill(img, circle(c, c, 15 * k), [=](float x, float y) {
    float t = std::clamp((x + y - 2 * c) / (30 * k) + .5f, 0.f, 1.f);
    return mix(rgb8(240, 240, 244), rgb8(110, 112, 118), t);
  });
  fill(img, circle(c, c, 12.5f * k), solid(rgb8(40, 40, 44)));
  fill(img, circle(c, c - .5f * k, 11 * k),
       dome(c, c - .5f * k, 11 * k, cap_red, 1));
  return img;
}

/* How much of a pixel of the icon the round button covers. */
float icon_cover(int size, int x, int y)
{
  float c = size / 2.f;
  return std::clamp(.5f - circle(c, c, 15 * size / 32.f)(x + .5f, y + .5f), 0.f,
                    1.f);
}

/* ---- the click ---- */

/* The click is written in the device's own format, which the program
   keeps as it is. */
const int sound_rate = clip_rate;
static_assert(clip_bits == 16 && clip_channels == 1, "write_wav's format");

/* A plastic push button: the sharp snap of the switch, ringing briefly in
   the housing, over a soft thump of the cap hitting its stop, and a
   quieter second contact as the spring settles. */
std::vector<float> draw_click()
{
  const float length = .075f;
  std::vector<float> s(size_t(length * sound_rate));
  uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1664525 + 1013904223;
    return (seed >> 8) / float(1 << 23) - 1;
  };
  float hp = 0, last = 0;
  for (size_t i = 0; i < s.size(); i++) {
    float t = float(i) / sound_rate;
    float n = noise();
    hp = .6f * (hp + n - last); /* high-pass: the snap has no body */
    last = n;
    float v = 0;
    for (float at : {0.f, .019f}) { /* the snap, then the settle */
      float u = t - at, k = at > 0 ? .4f : 1;
      if (u < 0)
        continue;
      v += k * .55f * hp * std::exp(-u / .0012f);
      v += k * .3f * std::sin(2 * float(M_PI) * 3100 * u) *
           std::exp(-u / .0035f);
      v += k * .22f * std::sin(2 * float(M_PI) * 1750 * u) *
           std::exp(-u / .006f);
    }
    float thump = 170 * (1 + .5f * std::exp(-t / .004f));
    v += .35f * std::sin(2 * float(M_PI) * thump * t) * std::exp(-t / .011f);
    s[i] = v * std::min(1.f, (s.size() - i) / 200.f); /* ends at zero */
  }
  float peak = 0;
  for (float v : s)
    peak = std::max(peak, std::fabs(v));
  for (float &v : s)
    v *= .7f / peak;
  return s;
}

/* ---- files ---- */

void put16(std::vector<uint8_t> &out, uint32_t v)
{
  out.push_back(v & 0xff);
  out.push_back(v >> 8 & 0xff);
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

uint8_t to_byte(float v)
{
  return uint8_t(std::lround(std::clamp(v, 0.f, 1.f) * 255));
}

bool write_file(const std::string &path, const std::vector<uint8_t> &data)
{
  FILE *f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

/* How the bitmaps are laid out. The default is the window's own layout;
   the others are what many tools write, kept to measure against. */
enum Layout { bitfields32, plain32, plain24 };
Layout layout = bitfields32;

/* Rows bottom-up, each padded to four bytes. */
bool write_bmp(const std::string &path, Image &img)
{
  const int bytes = layout == plain24 ? 3 : 4;
  const uint32_t row = (uint32_t(img.w) * bytes + 3) / 4 * 4;
  const uint32_t masks = layout == bitfields32 ? 12 : 0;
  const uint32_t header = 14 + 40 + masks, size = row * img.h;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  put32(out, header + size);
  put32(out, 0);
  put32(out, header);
  put32(out, 40);
  put32(out, img.w);
  put32(out, img.h);
  put16(out, 1);
  put16(out, bytes * 8);
  put32(out, masks ? 3 : 0); /* BI_BITFIELDS or BI_RGB */
  put32(out, size);
  put32(out, 2835); /* 72 dpi */
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  if (masks) {
    put32(out, 0x00ff0000);
    put32(out, 0x0000ff00);
    put32(out, 0x000000ff);
  }
  for (int y = img.h - 1; y >= 0; y--) {
    size_t start = out.size();
    for (int x = 0; x < img.w; x++) {
      Rgb c = img.at(x, y);
      out.push_back(to_byte(c.b));
      out.push_back(to_byte(c.g));
      out.push_back(to_byte(c.r));
      if (bytes == 4)
        out.push_back(0);
    }
    out.resize(start + row, 0);
  }
  return write_file(path, out);
}

/* 16-bit little-endian mono PCM. */
bool write_wav(const std::string &path, const std::vector<float> &samples)
{
  const uint32_t size = uint32_t(samples.size()) * 2;
  std::vector<uint8_t> out;
  for (char c : std::string("RIFF"))
    out.push_back(c);
  put32(out, 36 + size);
  for (char c : std::string("WAVEfmt "))
    out.push_back(c);
  put32(out, 16);
  put16(out, 1); /* PCM */
  put16(out, 1); /* mono */
  put32(out, sound_rate);
  put32(out, sound_rate * 2);
  put16(out, 2);
  put16(out, 16);
  for (char c : std::string("data"))
    out.push_back(c);
  put32(out, size);
  for (float v : samples)
    put16(out,
          uint16_t(int16_t(std::lround(std::clamp(v, -1.f, 1.f) * 32767))));
  return write_file(path, out);
}

/* A picture as a PNG, 8-bit RGBA (written by libpng); cover(x, y) says how
   much of each pixel is drawn, the rest see-through. */
std::vector<uint8_t> png_of(Image &img,
                            const std::function<float(int, int)> &cover)
{
  std::vector<uint8_t> rgba;
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++) {
      float a = cover(x, y);
      Rgb c = img.at(x, y); /* take the backdrop out of the edge */
      if (a > 0 && a < 1)
        c = mix(backdrop, c, 1 / a);
      for (float v : {c.r, c.g, c.b, a})
        rgba.push_back(to_byte(v));
    }
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = img.w;
  image.height = img.h;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, rgba.data(), 0,
                                 nullptr))
    return {};
  std::vector<uint8_t> out(bytes);
  if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, rgba.data(), 0,
                                 nullptr))
    return {};
  out.resize(bytes);
  return out;
}

/* The icon at size x size with its round edge see-through. */
std::vector<uint8_t> icon_png(int size)
{
  Image img = draw_icon(size);
  return png_of(img, [size](int x, int y) { return icon_cover(size, x, y); });
}

/* The icon on a square of its backdrop, the button four fifths of it
   across, as a phone's home screen masks it to a circle or a rounded
   square. */
bool write_maskable_png(const std::string &path, int size)
{
  int inner = size * 4 / 5 * 32 / 30; /* the button is 30 of 32 across */
  Image icon = draw_icon(inner), img(size, size, backdrop);
  for (int y = 0; y < inner; y++)
    for (int x = 0; x < inner; x++)
      img.at((size - inner) / 2 + x, (size - inner) / 2 + y) = icon.at(x, y);
  std::vector<uint8_t> png = png_of(img, [](int, int) { return 1.f; });
  return !png.empty() && write_file(path, png);
}

bool write_icon_png(const std::string &path, int size)
{
  std::vector<uint8_t> png = icon_png(size);
  return !png.empty() && write_file(path, png);
}

/* The icon for Windows' Explorer at the sizes it shows, each a PNG in an
   ICO file: a header, an entry a size, then the pictures. */
bool write_ico(const std::string &path)
{
  const int sizes[] = {16, 24, 32, 48, 256};
  std::vector<uint8_t> out, pictures;
  put16(out, 0);
  put16(out, 1); /* an icon */
  put16(out, std::size(sizes));
  for (int size : sizes) {
    std::vector<uint8_t> png = icon_png(size);
    if (png.empty())
      return false;
    out.push_back(uint8_t(size)); /* 256 is written as 0 */
    out.push_back(uint8_t(size));
    out.push_back(0); /* no palette */
    out.push_back(0);
    put16(out, 1);  /* planes */
    put16(out, 32); /* bits a pixel */
    put32(out, png.size());
    put32(out, 6 + 16 * std::size(sizes) + pictures.size());
    pictures.insert(pictures.end(), png.begin(), png.end());
  }
  out.insert(out.end(), pictures.begin(), pictures.end());
  return write_file(path, out);
}

} // namespace

int main(int argc, char *argv[])
{
  if (argc == 3 && std::string(argv[2]) == "plain32")
    layout = plain32;
  else if (argc == 3 && std::string(argv[2]) == "plain24")
    layout = plain24;
  else if (argc != 2) {
    fprintf(stderr, "usage: %s output-folder [plain32|plain24]\n", argv[0]);
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/";
  Image normal = draw_device(false), push = draw_device(true);
  Image digits = draw_digits(normal), icon = draw_icon(32);
  if (!write_bmp(dir + normal_file, normal) ||
      !write_bmp(dir + push_file, push) ||
      !write_bmp(dir + digits_file, digits) ||
      !write_bmp(dir + icon_file, icon) ||
      !write_wav(dir + clip_file, draw_click()) ||
      !write_icon_png(dir + "flumo-32.png", 32) ||
      !write_icon_png(dir + "flumo-64.png", 64) ||
      !write_icon_png(dir + "flumo-128.png", 128) ||
      !write_icon_png(dir + "flumo-192.png", 192) ||
      !write_icon_png(dir + "flumo-512.png", 512) ||
      !write_maskable_png(dir + "flumo-maskable.png", 512) ||
      !write_ico(dir + "flumo.ico")) {
    perror(argv[1]);
    return 1;
  }
  return 0;
}
