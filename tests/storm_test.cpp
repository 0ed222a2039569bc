#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"
#include "sound/sound_clip.h"
#include "support/process.h"
#include "support/surfaces.h"

/* A hundred thousand random key presses and releases, with quit events
   and other events among them, pushed through pump_events while the audio
   thread plays. Whatever comes, the program stays whole: each quit ends a
   pump and leaves what follows it queued, the counter stays within its
   bounds, the window shows a button and the counter it holds, and the
   clip's place stays within it. (The rules themselves are the scenarios':
   Latch.ScenariosPlayAsInTheWindow.) */

namespace
{

const SDLKey keys[] = {SDLK_SPACE, SDLK_SPACE,  SDLK_SPACE, SDLK_ESCAPE,
                       SDLK_a,     SDLK_RETURN, SDLK_F1,    SDLK_LSHIFT,
                       SDLK_RCTRL, SDLK_LALT,   SDLK_UP};
const SDLMod mods[] = {KMOD_NONE, KMOD_NONE, KMOD_LSHIFT, KMOD_RCTRL,
                       (SDLMod)(KMOD_LALT | KMOD_LSHIFT)};

SDL_Event random_event(std::mt19937 &rng, const SDL_Event &last)
{
  SDL_Event e = {};
  int roll = int(rng() % 1000);
  if (roll < 5) {
    e.type = SDL_QUIT;
  } else if (roll < 25) {
    e.type = roll < 15 ? SDL_MOUSEMOTION : SDL_ACTIVEEVENT;
  } else if (roll < 125 && (last.type == SDL_KEYDOWN)) {
    e = last; /* a repeat of the key held */
  } else {
    Uint8 type = rng() % 2 ? SDL_KEYDOWN : SDL_KEYUP;
    SDLKey sym = keys[rng() % (sizeof keys / sizeof *keys)];
    e = key_event(type, sym, mods[rng() % (sizeof mods / sizeof *mods)]);
  }
  return e;
}

class Storm : public DrawingTest
{
protected:
  std::vector<Uint8> samples = std::vector<Uint8>(44100 / 5 * 2, 1);
  AssetDir out{{}};

  void SetUp() override
  {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", out.file("played.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1); /* the callback, all the time */
    DrawingTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    app.clip.buffer = app.clip.cursor = samples.data();
    app.clip.length = app.clip.remaining = Uint32(samples.size());
    open_audio(&app.clip);
    ASSERT_NE(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED) << SDL_GetError();
    redraw(app.normal_image);
  }
  void TearDown() override
  {
    SDL_CloseAudio();
    app.clip = SoundClip();
    DrawingTest::TearDown();
  }
};

} // namespace

TEST_F(Storm, HundredThousandEventsLeaveTheProgramWhole)
{
  const unsigned seed = 20261208;
  std::mt19937 rng(seed);
  SDL_Event last = {};
  int pushed = 0, quits = 0, batches = 0;

  while (pushed < 100000) {
    /* a batch, as the queue would hold it (it takes at most 128) */
    std::vector<SDL_Event> batch;
    for (int n = 1 + int(rng() % 100); n > 0; n--) {
      batch.push_back(last = random_event(rng, last));
      ASSERT_EQ(SDL_PushEvent(&batch.back()), 0);
    }
    pushed += int(batch.size());

    /* each quit ends a pump; the events behind it wait for the next */
    size_t from = 0;
    while (from < batch.size()) {
      int going_on = pump_events();
      size_t quit = from;
      while (quit < batch.size() && batch[quit].type != SDL_QUIT)
        quit++;
      ASSERT_EQ(going_on, quit == batch.size()) << "batch " << batches;
      quits += quit < batch.size();
      from = quit + 1;
    }
    batches++;

    ASSERT_GE(app.count, 0) << "batch " << batches << " seed " << seed;
    ASSERT_LE(app.count, max_count) << "batch " << batches << " seed " << seed;
    ASSERT_TRUE(app.ready == 0 || app.ready == 1);
    if (batches % 7 == 0 || app.count == max_count) { /* now and then */
      Uint32 background = pixel(app.screen, 0, 0);
      ASSERT_TRUE(background == normal_rgb ||
                  (background == push_rgb && !app.ready))
          << "batch " << batches << " seed " << seed;
      expect_picture(background, app.count);
    }
    SDL_LockAudio();
    ASSERT_EQ(app.clip.cursor + app.clip.remaining,
              app.clip.buffer + app.clip.length);
    SDL_UnlockAudio();
  }
  EXPECT_GT(quits, 100);
}
