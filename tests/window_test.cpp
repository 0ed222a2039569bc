#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "settings.h"
#include "support/desktop.h"
#include "support/process.h"
#include "support/scenario.h"
#include "support/surfaces.h"
#include "support/wav.h"
#include "support/xserver.h"

namespace
{

class Window_ : public ::testing::Test
{
protected:
  std::unique_ptr<Desktop> desk = make_desktop();
  AssetDir dir{all_assets};
  pid_t pid = -1;
  unsigned long win = 0;

  void SetUp() override
  {
    ASSERT_TRUE(desk->ok()) << "no desktop of the test's own (Xvfb, or sway)";
  }
  /* What only an X server has: window properties, windows that cover. */
  XServer &x11() { return dynamic_cast<XServer &>(*desk); }
  void TearDown() override
  {
    if (pid > 0) {
      kill(pid, SIGKILL);
      wait_for(pid, 5000);
    }
  }
  void launch(std::vector<Env> env = {{"SDL_AUDIODRIVER", "dummy"}})
  {
    for (const Env &e : desk->session())
      env.push_back(e);
    pid = start(program_command(dir), dir.path, env, dir.file("stderr"));
    win = desk->find_window(caption, 10000);
    ASSERT_NE(win, 0u) << "no window; stderr: " << program_errors(dir);
    ASSERT_TRUE(desk->focus(win));
  }
  /* Waits for the window to show this picture. */
  void expect_shows(const std::string &background, int count)
  {
    std::vector<uint32_t> want = composed(dir.path, background, count);
    EXPECT_EQ(desk->wait_for_picture(win, want), 0u)
        << "pixels that differ from " << background << " with " << count;
  }
  void key(const char *action, const char *name)
  {
    ASSERT_TRUE(desk->key(action, name));
  }
  void tap(const char *name)
  {
    key("keydown", name);
    key("keyup", name);
  }
  /* What the window tests of every platform do: a scenario from
     tests/scenarios. */
  void play_scenario(const std::string &name)
  {
    for (const Step &s : scenario(name)) {
      SCOPED_TRACE(s.line);
      if (s.verb == "down" || s.verb == "up")
        key(("key" + s.verb).c_str(), s.what.c_str());
      else if (s.verb == "tap")
        for (int i = 0; i < s.n; i++)
          tap(s.what.c_str());
      else if (s.verb == "hold")
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::stoi(s.what)));
      else if (s.verb == "shows")
        expect_shows(s.what == "push" ? push_bmp : normal_bmp, s.n);
      else if (s.verb == "plays")
        plays(std::stoi(s.what));
      else
        FAIL() << "no such step: " << s.verb;
      if (HasFatalFailure())
        return;
    }
  }
  /* Waits until n whole clips have played in all. */
  virtual void plays(int n) { FAIL() << "no sound recorded here for " << n; }
  int close_and_wait()
  {
    desk->request_close(win);
    int status = wait_for(pid, 10000);
    pid = -1;
    return status;
  }
};

} // namespace

TEST_F(Window_, HasTheTitleTheIconAndTheSizeOfTheRestingPicture)
{
  launch();
  EXPECT_EQ(desk->title(win), caption);
  if (!on_wayland()) { /* which has neither icon titles nor window icons */
    XServer &x = x11();
    if (on_sdl12_compat() || under_wine()) /* no icon title; the EWMH name */
      EXPECT_EQ(x.text_property(win, "_NET_WM_NAME"), caption);
    else
      EXPECT_EQ(x.text_property(win, "WM_ICON_NAME"), caption);
    if (!under_wine()) { /* which shows its own icon, whatever it is given */
      EXPECT_TRUE(x.has_icon_pixmap(win) ||
                  x.has_property(win, "_NET_WM_ICON"));
    }
  }

  SDL_Surface *normal = SDL_LoadBMP((FLUMO_ASSET_DIR "/" + normal_bmp).c_str());
  int w, h;
  desk->size(win, &w, &h);
  EXPECT_EQ(w, normal->w);
  EXPECT_EQ(h, normal->h);
  SDL_FreeSurface(normal);
  expect_shows(normal_bmp, 0);

  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(program_errors(dir), "");
}

/* The start-up failures a user meets first: one line naming the file,
   and the status. */
TEST_F(Window_, MissingOrCutShortFileIsNamedAndEndsTheProgram)
{
  for (const std::string &name : {push_bmp, normal_bmp, digits_bmp, clip_wav})
    for (bool missing : {true, false}) {
      SCOPED_TRACE(name + (missing ? " missing" : " cut short"));
      AssetDir files(all_assets);
      if (missing)
        unlink(files.file(name).c_str());
      else
        write_file(files.file(name), read_file(files.file(name)).substr(0, 20));
      std::vector<Env> env = desk->session();
      env.push_back({"SDL_AUDIODRIVER", "dummy"});
      pid_t pid =
          start(program_command(files), files.path, env, files.file("stderr"));
      int status = wait_for(pid, 20000);
      int code = failure_status_for(name);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code) << status;
      std::string errors = program_errors(files);
      EXPECT_EQ(errors.rfind("Couldn't load " + name + ": ", 0), 0u) << errors;
      EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
}

TEST_F(Window_, RepaintsAfterBeingCovered)
{
  launch();
  key("keydown", "space");
  expect_shows(push_bmp, 1);
  x11().cover(win);
  expect_shows(push_bmp, 1);
  key("keyup", "space");
  tap("space");
  expect_shows(normal_bmp, 2);
  x11().cover(win);
  expect_shows(normal_bmp, 2);
  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(Window_, WithoutAnIconFileTheWindowStillOpens)
{
  unlink(dir.file(icon_bmp).c_str());
  launch();
  EXPECT_FALSE(x11().has_icon_pixmap(win) ||
               x11().has_property(win, "_NET_WM_ICON"));
  expect_shows(normal_bmp, 0);
  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

/* A user who logs out ends the display server under the program, which
   ends too, with status 1: on X, Xlib ends it (the shutdown that follows
   must not wait on the server); SDL 3 reports a lost Wayland compositor as
   the quit a closed window sends, which the program tells apart. */
TEST_F(Window_, EndsWhenItsDisplayGoesAway)
{
  launch();
  expect_shows(normal_bmp, 0);
  desk->go_away();
  int status = wait_for(pid, 2000);
  pid = -1;
  ASSERT_NE(status, -1) << "still running 2 s after its display went";
  EXPECT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), failed_status) << program_errors(dir);
}

TEST_F(Window_, KeysPressTheButtonAndMoveTheCounter)
{
  launch();
  play_scenario("counting.txt");
  int status = close_and_wait();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

/* A minute that is nowhere silent and never repeats itself, so that every
   copy and every start shows in the output. It plays for six seconds on the
   disk driver below: time enough for a press or a close to arrive in the
   middle of it, however busy the machine. */
std::string long_clip()
{
  return make_wav(44100, 16, 1, 60 * 44100, [](int i) {
    return (1000 + (uint32_t(i) * 2654435761u >> 12) % 20000) / 32767.0;
  });
}

/* The same, with the sound going to a file: the disk driver writes every
   buffer the device plays, silence while it is paused, and does it faster
   than real time so that the tests need not wait. */
class Sound : public Window_
{
protected:
  std::vector<int16_t> clip;
  /* sdl12-compat mixes through floating point: a sample may come out one
     step off */
  const int tolerance = on_sdl12_compat() ? 2 : 0;

  void launch_with_sound()
  {
    clip = samples_of(read_file(dir.file(clip_wav)).substr(44));
    launch({{"SDL_AUDIODRIVER", "disk"},
            {"SDL_DISKAUDIOFILE", dir.file("out.raw")},
            {"SDL_DISKAUDIODELAY", "10"}});
  }
  /* What the device played, one sample a frame: a runtime that opens a
     stereo device plays each mono sample on both channels. */
  std::vector<int16_t> output()
  {
    std::vector<int16_t> all = samples_of(read_file(dir.file("out.raw"))), mono;
    if (!on_sdl12_compat())
      return all;
    for (size_t i = 0; i + 1 < all.size(); i += 2)
      mono.push_back(all[i]);
    return mono;
  }
  /* Waits until the output holds n copies of `part`, then for a few more
     buffers; false if they do not come. */
  bool wait_for_copies(const std::vector<int16_t> &part, size_t n)
  {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (find_all(output(), part, tolerance).size() < n)
      if (std::chrono::steady_clock::now() > until)
        return false;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    wait_for_buffers(3);
    return true;
  }
  void wait_for_buffers(size_t n)
  {
    size_t now = output().size();
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (output().size() < now + n * 4096 &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  /* Waits until something has played and three buffers of silence have
     followed it, however late it started; returns the output then. */
  std::vector<int16_t> wait_for_the_end()
  {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<int16_t> out = output();
    for (;; out = output()) {
      auto last = std::find_if(out.rbegin(), out.rend(),
                               [](int16_t v) { return v != 0; });
      if ((last != out.rend() && last - out.rbegin() >= 3 * 4096) ||
          std::chrono::steady_clock::now() > until)
        return out;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  /* The output with every whole copy of the clip taken out is silence. */
  void expect_only_copies(const std::vector<int16_t> &out, size_t copies)
  {
    std::vector<size_t> at = find_all(out, clip, tolerance);
    EXPECT_EQ(at.size(), copies);
    size_t noise = 0, from = 0;
    for (size_t i = 0; i < out.size(); i++) {
      if (from < at.size() && i == at[from]) {
        i += clip.size() - 1;
        from++;
      } else {
        noise += out[i] != 0;
      }
    }
    EXPECT_EQ(noise, 0u) << "samples that are neither silence nor the clip";
  }
  void plays(int n) override { ASSERT_TRUE(wait_for_copies(clip, n)); }
  void expect_clean_exit()
  {
    int status = close_and_wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
};

TEST_F(Sound, EveryCountedPressPlaysOneWholeClip)
{
  launch_with_sound();
  wait_for_buffers(3);
  std::vector<int16_t> before = output();
  EXPECT_GT(before.size(), 0u);
  EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](int16_t v) {
    return v == 0;
  })) << "sound before the first press";

  play_scenario("clicks.txt");
  expect_clean_exit();
  expect_only_copies(output(), 21);
}

TEST_F(Sound, PressDuringPlaybackStartsTheClipAgain)
{
  write_file(dir.file(clip_wav), long_clip());
  launch_with_sound();
  std::vector<int16_t> start(clip.begin(), clip.begin() + 2048);

  tap("space");
  ASSERT_TRUE(wait_for_copies(start, 1));
  tap("space");
  ASSERT_TRUE(wait_for_copies(start, 2));
  std::vector<size_t> starts = find_all(output(), start, tolerance);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_LT(starts[1] - starts[0], clip.size()) << "the first had ended";
  expect_clean_exit();
  EXPECT_EQ(find_all(output(), clip, tolerance).size(), 0u)
      << "a start that was not cut off";
}

TEST_F(Sound, ClipsInOtherFormatsPlayForTheirOwnLength)
{
  struct Case {
    int rate, bits, channels;
  } cases[] = {{22050, 8, 2}, {48000, 16, 1}};
  for (Case c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bits "
                                    << c.channels << " channels");
    /* half a second of 441 Hz, never quite silent */
    write_file(dir.file(clip_wav),
               make_wav(c.rate, c.bits, c.channels, c.rate / 2, [&](int i) {
                 return .1 + .6 * std::sin(2 * M_PI * 441 * i / c.rate);
               }));
    unlink(dir.file("out.raw").c_str());
    launch_with_sound();
    wait_for_buffers(2);
    tap("space");
    std::vector<int16_t> out = wait_for_the_end();
    auto first =
        std::find_if(out.begin(), out.end(), [](int16_t v) { return v != 0; });
    auto last = std::find_if(out.rbegin(), out.rend(),
                             [](int16_t v) { return v != 0; });
    ASSERT_NE(first, out.end()) << "nothing played";
    long played = long(out.rend() - last) - long(first - out.begin());
    EXPECT_NEAR(played, 22050, 22050 * .01) << "samples at 44100 Hz";
    expect_clean_exit();
  }
}

TEST_F(Sound, WithoutAnAudioDeviceTheProgramRunsSilently)
{
  launch({{"SDL_AUDIODRIVER", "disk"},
          {"SDL_DISKAUDIOFILE", dir.file("no/such/folder/out.raw")}});
  expect_shows(normal_bmp, 0);
  key("keydown", "space");
  expect_shows(push_bmp, 1);
  key("keyup", "space");
  expect_shows(normal_bmp, 1);
  expect_clean_exit();
  EXPECT_EQ(program_errors(dir), "");
}

TEST_F(Sound, ClosingWhileTheClipPlaysEndsCleanly)
{
  write_file(dir.file(clip_wav), long_clip());
  launch_with_sound();
  tap("space");
  ASSERT_TRUE(wait_for_copies(
      std::vector<int16_t>(clip.begin(), clip.begin() + 2048), 1));
  expect_clean_exit();
  EXPECT_EQ(find_all(output(), clip, tolerance).size(), 0u)
      << "the clip was still playing";
}
