/* The costs of a repaint, each beside its floor, measured in one run.
   Run from a folder of assets: the program starts up as it always does
   (on SDL's dummy video and audio drivers) and then repaints. */

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"
#include "tests/support/events.h"

namespace
{

void start_once()
{
  static bool started = false;
  if (started)
    return;
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  init_app();
  started = true;
}

/* The program's repaint: resting picture and a two-digit count. */
void redraw_frame(benchmark::State &state)
{
  start_once();
  app.count = 17;
  for (auto _ : state)
    redraw(app.normal_image);
}
BENCHMARK(redraw_frame);

/* Where a repaint's time goes: the background alone, and the counter's
   two colour-keyed glyphs alone. */
void background_only(benchmark::State &state)
{
  start_once();
  for (auto _ : state) {
    SDL_BlitSurface(app.normal_image, NULL, app.screen, NULL);
    SDL_UpdateRect(app.screen, 0, 0, 0, 0);
  }
}
BENCHMARK(background_only);

void counter_only(benchmark::State &state)
{
  start_once();
  for (auto _ : state)
    draw_counter(17);
}
BENCHMARK(counter_only);

/* What any SDL program that repaints with SDL_BlitSurface pays at least:
   the same frame, already in the window's own pixel format. */
void sdl_blit_floor(benchmark::State &state)
{
  start_once();
  app.count = 17;
  redraw(app.normal_image);
  SDL_Surface *frame =
      SDL_ConvertSurface(app.screen, app.screen->format, SDL_SWSURFACE);
  for (auto _ : state) {
    SDL_BlitSurface(frame, NULL, app.screen, NULL);
    SDL_UpdateRect(app.screen, 0, 0, 0, 0);
  }
  SDL_FreeSurface(frame);
}
BENCHMARK(sdl_blit_floor);

/* The machine's floor: the window's bytes copied. */
void memcpy_floor(benchmark::State &state)
{
  start_once();
  size_t bytes = size_t(app.screen->pitch) * app.screen->h;
  std::vector<char> frame(bytes, 1);
  for (auto _ : state) {
    memcpy(app.screen->pixels, frame.data(), bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(memcpy_floor);

void push_key(Uint8 type)
{
  SDL_Event e = key_event(type, SDLK_SPACE);
  SDL_PushEvent(&e);
}

/* A counted Space press and its release, from the queue to the window:
   two repaints, the clip restarted once. */
void key_to_picture(benchmark::State &state)
{
  start_once();
  for (auto _ : state) {
    app.count = 16; /* every press counts and plays */
    push_key(SDL_KEYDOWN);
    pump_events();
    push_key(SDL_KEYUP);
    pump_events();
  }
}
BENCHMARK(key_to_picture);

/* Its floor: the two repaints alone. */
void two_redraws(benchmark::State &state)
{
  start_once();
  app.count = 17;
  for (auto _ : state) {
    redraw(app.push_image);
    redraw(app.normal_image);
  }
}
BENCHMARK(two_redraws);

} // namespace

BENCHMARK_MAIN();
