#include <gtest/gtest.h>

#include <algorithm>

#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"
#include "support/scenario.h"
#include "support/surfaces.h"

#include <map>
#include <set>

namespace
{

void push_key(Uint8 type, SDLKey sym, SDLMod mod = KMOD_NONE)
{
  SDL_Event e = key_event(type, sym, mod);
  ASSERT_EQ(SDL_PushEvent(&e), 0);
}

void press(SDLKey sym)
{
  push_key(SDL_KEYDOWN, sym);
}
void release(SDLKey sym)
{
  push_key(SDL_KEYUP, sym);
}

void push_type(Uint8 type)
{
  SDL_Event e = {};
  e.type = type;
  ASSERT_EQ(SDL_PushEvent(&e), 0);
}

const Uint32 untouched_rgb = 0x123456;

class Latch : public DrawingTest
{
protected:
  void SetUp() override
  {
    DrawingTest::SetUp();
    redraw(app.normal_image);
  }
  /* Marks the window, so that a later check can tell it was not repainted. */
  void mark_window()
  {
    SDL_FillRect(app.screen, NULL,
                 SDL_MapRGB(app.screen->format, 0x12, 0x34, 0x56));
  }
  void expect_state(int count, int ready, Uint32 background)
  {
    EXPECT_EQ(app.count, count);
    EXPECT_EQ(app.ready, ready);
    expect_picture(background, count);
  }
  void expect_not_repainted()
  {
    EXPECT_EQ(pixel(app.screen, 0, 0), untouched_rgb);
    EXPECT_EQ(pixel(app.screen, 61, 113), untouched_rgb);
  }
  void pump() { EXPECT_EQ(pump_events(), 1); }
};

} // namespace

TEST_F(Latch, SpaceCountsAndReleaseShowsTheRestingButton)
{
  press(SDLK_SPACE);
  pump();
  expect_state(1, 0, push_rgb);
  release(SDLK_SPACE);
  pump();
  expect_state(1, 1, normal_rgb);
}

TEST_F(Latch, CountsToTheCeilingAndNoFurther)
{
  for (int n = 1; n <= max_count + 2; n++) {
    press(SDLK_SPACE);
    pump();
    SCOPED_TRACE(n);
    expect_state(std::min(n, max_count), 0, push_rgb);
    release(SDLK_SPACE);
    pump();
    expect_state(std::min(n, max_count), 1, normal_rgb);
  }
}

TEST_F(Latch, EscapeResetsAndLatches)
{
  for (int i = 0; i < 5; i++) {
    press(SDLK_SPACE);
    release(SDLK_SPACE);
  }
  press(SDLK_ESCAPE);
  pump();
  expect_state(0, 0, normal_rgb);

  mark_window();
  press(SDLK_SPACE); /* latched: ignored */
  pump();
  expect_not_repainted();
  EXPECT_EQ(app.count, 0);

  release(SDLK_ESCAPE);
  pump();
  expect_state(0, 1, normal_rgb);
  press(SDLK_SPACE);
  pump();
  expect_state(1, 0, push_rgb);
}

TEST_F(Latch, HeldSpaceCountsOnceAndIgnoresEveryOtherPress)
{
  press(SDLK_SPACE);
  pump();
  mark_window();
  press(SDLK_SPACE); /* a repeat */
  press(SDLK_ESCAPE);
  press(SDLK_a);
  pump();
  EXPECT_EQ(app.count, 1);
  EXPECT_EQ(app.ready, 0);
  expect_not_repainted();
}

TEST_F(Latch, AnyReleaseOpensTheLatchAndALaterOneChangesNothing)
{
  press(SDLK_SPACE);
  press(SDLK_a);
  release(SDLK_a);
  pump();
  expect_state(1, 1, normal_rgb);

  mark_window();
  release(SDLK_SPACE);
  pump();
  EXPECT_EQ(app.count, 1);
  EXPECT_EQ(app.ready, 1);
  expect_not_repainted();
}

TEST_F(Latch, OtherKeysNeitherCountNorLatchNorRepaint)
{
  mark_window();
  for (SDLKey sym : {SDLK_a, SDLK_RETURN, SDLK_LSHIFT, SDLK_LCTRL, SDLK_F1})
    press(sym);
  release(SDLK_a);
  push_type(SDL_MOUSEMOTION);
  push_type(SDL_MOUSEBUTTONDOWN);
  push_type(SDL_ACTIVEEVENT);
  push_type(SDL_VIDEOEXPOSE);
  pump();
  EXPECT_EQ(app.count, 0);
  EXPECT_EQ(app.ready, 1);
  expect_not_repainted();
}

TEST_F(Latch, ModifiersAreNotRead)
{
  push_key(SDL_KEYDOWN, SDLK_SPACE, KMOD_LSHIFT);
  push_key(SDL_KEYUP, SDLK_LSHIFT);
  push_key(SDL_KEYDOWN, SDLK_SPACE, (SDLMod)(KMOD_LCTRL | KMOD_RALT));
  pump();
  expect_state(2, 0, push_rgb);
  push_key(SDL_KEYUP, SDLK_SPACE, KMOD_LCTRL);
  push_key(SDL_KEYDOWN, SDLK_ESCAPE, KMOD_RSHIFT);
  pump();
  expect_state(0, 0, normal_rgb);
}

TEST_F(Latch, QueuedEventsAreHandledInOrder)
{
  /* the other way round this would leave 0 on the counter */
  press(SDLK_ESCAPE);
  release(SDLK_ESCAPE);
  press(SDLK_SPACE);
  release(SDLK_SPACE);
  press(SDLK_SPACE);
  pump();
  expect_state(2, 0, push_rgb);
}

TEST_F(Latch, QuitEndsThePumpAndLeavesLaterEventsQueued)
{
  press(SDLK_SPACE);
  push_type(SDL_QUIT);
  release(SDLK_SPACE);
  press(SDLK_ESCAPE);
  EXPECT_EQ(pump_events(), 0);
  expect_state(1, 0, push_rgb);

  SDL_Event e;
  ASSERT_EQ(SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_ALLEVENTS), 1);
  EXPECT_EQ(e.type, SDL_KEYUP);
  pump(); /* the release, then Escape */
  expect_state(0, 0, normal_rgb);
}

/* The key rules as a player meets them: the scenarios every platform's
   window tests play, here through the program's own pump onto the fake
   pictures. A held key repeats, as a keyboard left to itself does; the
   sound is the window tests' to hear. */
TEST_F(Latch, ScenariosPlayAsInTheWindow)
{
  const std::map<std::string, SDLKey> keys = {
      {"space", SDLK_SPACE}, {"Escape", SDLK_ESCAPE}, {"a", SDLK_a}};
  for (const char *name : {"counting.txt", "clicks.txt"}) {
    app.count = 0, app.ready = 1;
    redraw(app.normal_image);
    std::set<SDLKey> held;
    for (const Step &s : scenario(name)) {
      SCOPED_TRACE(std::string(name) + ": " + s.line);
      if (s.verb == "down" || s.verb == "up" || s.verb == "tap") {
        SDLKey key = keys.at(s.what);
        for (int i = 0; i < (s.verb == "tap" ? s.n : 1); i++) {
          if (s.verb != "up")
            press(key);
          if (s.verb != "down")
            release(key);
        }
        if (s.verb == "down")
          held.insert(key);
        if (s.verb == "up")
          held.erase(key);
      } else if (s.verb == "hold") {
        for (int repeat = 0; repeat < 3; repeat++)
          for (SDLKey key : held)
            press(key);
      } else if (s.verb == "shows") {
        pump();
        expect_picture(s.what == "push" ? push_rgb : normal_rgb, s.n);
      } else {
        ASSERT_EQ(s.verb, "plays");
      }
    }
  }
}
