#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bmp.h"
#include "support/process.h"
#include "support/surfaces.h"

namespace
{

struct Outcome {
  int status; /* as from waitpid, -1 on a hang */
  std::string err, trace;
};

/* Environment for a headless run that records its SDL calls. */
std::vector<Env> headless(const AssetDir &dir)
{
  return {{"SDL_VIDEODRIVER", "dummy"},
          {"SDL_AUDIODRIVER", "dummy"},
          {"LD_PRELOAD", FLUMO_TRACE_SHIM},
          {"FLUMO_TRACE", dir.file("trace")}};
}

pid_t start_flumo(const AssetDir &dir, std::vector<Env> env = {},
                  int ignored_signal = 0)
{
  std::vector<Env> all = headless(dir);
  all.insert(all.end(), env.begin(), env.end());
  return start({FLUMO_BIN}, dir.path, all, dir.file("stderr"), ignored_signal);
}

Outcome finish(const AssetDir &dir, pid_t pid, int timeout_ms = 10000)
{
  int status = wait_for(pid, timeout_ms);
  return {status, program_stderr(read_file(dir.file("stderr"))),
          read_file(dir.file("trace"))};
}

/* Runs until the first frame is out, then asks it to stop with sig. */
Outcome run_and_signal(const AssetDir &dir, int sig)
{
  pid_t pid = start_flumo(dir);
  bool drawn = wait_for_text(dir.file("trace"), "frame", 10000);
  kill(pid, sig);
  Outcome o = finish(dir, pid);
  EXPECT_TRUE(drawn) << "no first frame";
  return o;
}

int occurrences(const std::string &text, const std::string &word)
{
  int n = 0;
  for (size_t at = text.find(word); at != std::string::npos;
       at = text.find(word, at + 1))
    n++;
  return n;
}

bool exited_with(int status, int code)
{
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

/* One line: the prefix, then SDL's reason, not empty. */
void expect_diagnostic(const std::string &err, const std::string &prefix)
{
  EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
  EXPECT_GT(err.size(), prefix.size() + 1) << "no reason given: " << err;
  EXPECT_EQ(occurrences(err, "\n"), 1) << err;
  EXPECT_EQ(err.back(), '\n');
}

/* Each bitmap the program loaded was freed once, before SDL_Quit. */
void expect_loads_freed_once(const std::string &trace, int loads)
{
  int seen = 0;
  for (size_t at = trace.find("load 0x"); at != std::string::npos;
       at = trace.find("load 0x", at + 1), seen++) {
    std::string surface = trace.substr(at + 5, trace.find('\n', at) - at - 5);
    EXPECT_EQ(occurrences(trace, "free " + surface + "\n"), 1) << surface;
    EXPECT_LT(trace.find("free " + surface), trace.find("quit")) << surface;
  }
  EXPECT_EQ(seen, loads) << trace;
}

} // namespace

TEST(Startup, SdlThatCannotStartIsReported)
{
  AssetDir dir(all_assets);
  Outcome o =
      finish(dir, start_flumo(dir, {{"SDL_VIDEODRIVER", "no-such-driver"}}));
  EXPECT_TRUE(exited_with(o.status, failed_status)) << o.status;
  expect_diagnostic(o.err, "Couldn't initialize SDL: ");
  EXPECT_EQ(occurrences(o.trace, "quit"), 0) << "nothing to shut down yet";
}

TEST(Startup, MissingOrBrokenBitmapIsNamedAndNothingIsDrawn)
{
  /* in the order they are loaded */
  const std::string names[] = {push_bmp, normal_bmp, digits_bmp};
  for (int loaded_before = 0; loaded_before < 3; loaded_before++)
    for (bool present : {false, true}) {
      const std::string &name = names[loaded_before];
      SCOPED_TRACE(name + (present ? " broken" : " missing"));
      AssetDir dir(all_assets);
      if (present)
        write_file(dir.file(name), "BM this is not a bitmap at all");
      else
        unlink(dir.file(name).c_str());
      Outcome o = finish(dir, start_flumo(dir));
      EXPECT_TRUE(exited_with(o.status, failed_status)) << o.status;
      expect_diagnostic(o.err, "Couldn't load " + name + ": ");
      EXPECT_EQ(occurrences(o.trace, "frame"), 0);
      EXPECT_EQ(occurrences(o.trace, "quit"), 1);
      /* the bitmaps loaded before the bad one are released */
      expect_loads_freed_once(o.trace, loaded_before);
    }
}

TEST(Startup, MissingOrBrokenClipIsNamedWithStatus255)
{
  for (const char *content : {"", "RIFF\x10\0\0\0WAVEfmt and then nothing"}) {
    SCOPED_TRACE(*content ? "broken" : "missing");
    AssetDir dir(all_assets);
    if (*content)
      write_file(dir.file(clip_wav), content);
    else
      unlink(dir.file(clip_wav).c_str());
    Outcome o = finish(dir, start_flumo(dir));
    EXPECT_TRUE(exited_with(o.status, clip_failed_status)) << o.status;
    expect_diagnostic(o.err, "Couldn't load " + clip_wav + ": ");
    EXPECT_EQ(occurrences(o.trace, "frame"), 0);
    EXPECT_EQ(occurrences(o.trace, "quit"), 1);
    expect_loads_freed_once(o.trace, 3);
  }
}

/* An icon that is missing, or larger than any window's icon is shown,
   leaves the default one; up to 256 pixels a side it is set, whatever its
   header and the order of its rows. */
TEST(Startup, IconIsLeftOutWhenMissingOrLargerThan256)
{
  struct Icon {
    int w, h; /* 0: missing */
    bool set;
    BmpForm form;
  };
  std::vector<Icon> icons = {{0, 0, false, {}}};
  for (Uint32 header : bmp_headers)
    for (bool top_down : {false, true})
      if ((header == 12 && !top_down) || header >= 40) /* 16: none is read */
        for (Icon icon : std::vector<Icon>{{257, 16, false, {}},
                                           {16, 257, false, {}},
                                           {256, 256, true, {}}})
          icon.form = BmpForm{top_down, false, false, 0, header},
          icons.push_back(icon);
  for (const Icon &icon : icons) {
    SCOPED_TRACE(testing::Message()
                 << icon.w << " x " << icon.h << ", a " << icon.form.header
                 << "-byte header" << (icon.form.top_down ? ", top-down" : ""));
    AssetDir dir(all_assets);
    unlink(dir.file(icon_bmp).c_str());
    if (icon.w) {
      SDL_Surface *s = solid_surface(icon.w, icon.h, 0x2080c0);
      write_file(dir.file(icon_bmp), encode_bmp(s, 24, icon.form));
      SDL_FreeSurface(s);
    }
    Outcome o = run_and_signal(dir, SIGTERM);
    EXPECT_TRUE(exited_with(o.status, 0)) << o.status;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(occurrences(o.trace, "\nicon "), icon.set ? 1 : 0);
  }
}

TEST(Startup, IconIsSetAndFreedAtOnce)
{
  AssetDir dir(all_assets);
  Outcome o = run_and_signal(dir, SIGTERM);
  EXPECT_TRUE(exited_with(o.status, 0)) << o.status;
  size_t icon = o.trace.find("\nicon ");
  ASSERT_NE(icon, std::string::npos) << o.trace;
  icon++;
  std::string surface =
      o.trace.substr(icon + 5, o.trace.find('\n', icon) - icon - 5);
  EXPECT_EQ(o.trace.find("free " + surface + "\n"),
            o.trace.find('\n', icon) + 1)
      << o.trace;
}

TEST(Shutdown, ReleasesEveryBitmapOnceThenQuitsSdl)
{
  AssetDir dir(all_assets);
  Outcome o = run_and_signal(dir, SIGTERM);
  EXPECT_TRUE(exited_with(o.status, 0)) << o.status;
  EXPECT_EQ(occurrences(o.trace, "quit"), 1);
  expect_loads_freed_once(o.trace, 4); /* buttons, digits and icon */

  /* the device stops before its samples go, and they before the bitmaps */
  size_t close = o.trace.find("closeaudio\n");
  ASSERT_NE(close, std::string::npos) << o.trace;
  size_t freewav = o.trace.find("freewav 0x", close);
  EXPECT_EQ(freewav, close + 11) << o.trace;
  size_t first_free = o.trace.find("\nfree 0x", close);
  EXPECT_LT(freewav, first_free);
  EXPECT_EQ(o.trace.find("freewav 0x", freewav + 1), std::string::npos);
}

TEST(Shutdown, SigtermAndSigintEndTheProgramEveryTime)
{
  AssetDir dir(all_assets);
  for (int i = 0; i < 20; i++) {
    SCOPED_TRACE(i);
    unlink(dir.file("trace").c_str());
    Outcome o = run_and_signal(dir, SIGTERM);
    ASSERT_TRUE(exited_with(o.status, 0)) << "status " << o.status;
    EXPECT_EQ(occurrences(o.trace, "quit"), 1);
    EXPECT_EQ(o.err, "");
  }
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(i);
    unlink(dir.file("trace").c_str());
    Outcome o = run_and_signal(dir, SIGINT);
    ASSERT_TRUE(exited_with(o.status, 0)) << "status " << o.status;
    EXPECT_EQ(occurrences(o.trace, "quit"), 1);
  }
}

/* A signal while a file loads ends start-up as soon as that load is done:
   nothing after it is loaded, nothing is drawn. */
TEST(Shutdown, SigtermDuringStartUpEndsItOnceTheLoadReturns)
{
  const std::vector<std::string> order = {push_bmp, normal_bmp, digits_bmp,
                                          clip_wav, icon_bmp};
  int bitmaps = 0;
  for (size_t i = 0; i < order.size(); i++) {
    SCOPED_TRACE(order[i]);
    AssetDir dir(all_assets);
    pid_t pid = start_flumo(dir, {{"FLUMO_SLOW_OPEN", order[i]}});
    ASSERT_TRUE(wait_for_text(dir.file("trace"), " " + order[i], 10000));
    kill(pid, SIGTERM);
    Outcome o = finish(dir, pid);
    EXPECT_TRUE(exited_with(o.status, 0)) << "status " << o.status;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(occurrences(o.trace, "frame"), 0) << o.trace;
    if (i + 1 < order.size()) {
      EXPECT_EQ(occurrences(o.trace, order[i + 1]), 0) << o.trace;
    }
    bitmaps += order[i] != clip_wav;
    expect_loads_freed_once(o.trace, bitmaps);
  }
}

/* A shutdown that cannot finish, as when SDL waits on a display that has
   gone, ends on its own within a second, with status 1; a quit signal that
   arrives then ends it at once, as it ends any program. */
TEST(Shutdown, ShutdownThatHangsEndsOnItsOwnOrOnAQuitSignal)
{
  for (std::string stuck : {"waiting", "SIGTERM"}) {
    SCOPED_TRACE(stuck);
    AssetDir dir(all_assets);
    pid_t pid = start_flumo(dir, {{"FLUMO_STUCK_QUIT", stuck}});
    ASSERT_TRUE(wait_for_text(dir.file("trace"), "frame", 10000));
    kill(pid, SIGTERM);
    Outcome o = finish(dir, pid, 5000);
    ASSERT_NE(o.status, -1) << "still shutting down after 5 s";
    if (stuck == "SIGTERM") {
      EXPECT_TRUE(WIFSIGNALED(o.status) && WTERMSIG(o.status) == SIGTERM)
          << o.status;
    } else {
      EXPECT_TRUE(exited_with(o.status, failed_status)) << o.status;
    }
    EXPECT_EQ(occurrences(o.trace, "quit"), 1) << o.trace;
  }
}

TEST(Shutdown, SigintIgnoredAtStartStaysIgnored)
{
  AssetDir dir(all_assets);
  pid_t pid = start_flumo(dir, {}, SIGINT);
  ASSERT_TRUE(wait_for_text(dir.file("trace"), "frame", 10000));
  kill(pid, SIGINT);
  usleep(300 * 1000);
  int status;
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "ended by an ignored SIGINT";
  kill(pid, SIGTERM);
  EXPECT_TRUE(exited_with(wait_for(pid, 10000), 0));
}

/* The window has the resting picture's size, whatever the pressed one's. */
TEST(Startup, WindowTakesTheRestingPicturesSize)
{
  for (int push_w : {300, 60}) {
    SCOPED_TRACE(push_w);
    AssetDir dir(all_assets);
    SDL_Surface *push = solid_surface(push_w, push_w * 2 / 3, 0x804020);
    write_file(dir.file(push_bmp), encode_bmp(push, 24));
    SDL_FreeSurface(push);
    SDL_Surface *normal = SDL_LoadBMP(dir.file(normal_bmp).c_str());
    ASSERT_NE(normal, nullptr);
    std::string size =
        std::to_string(normal->w) + "x" + std::to_string(normal->h);
    SDL_FreeSurface(normal);
    pid_t pid = start_flumo(dir);
    bool drawn = wait_for_text(dir.file("trace"), "frame", 10000);
    kill(pid, SIGTERM);
    Outcome o = finish(dir, pid);
    ASSERT_TRUE(drawn) << o.err;
    EXPECT_NE(o.trace.find("mode " + size + "\n"), std::string::npos)
        << o.trace;
  }
}

TEST(Startup, WindowThatCannotOpenIsReported)
{
  AssetDir dir(all_assets);
  Outcome o = finish(dir, start_flumo(dir, {{"FLUMO_REFUSE_WINDOW", "1"}}));
  EXPECT_TRUE(exited_with(o.status, failed_status)) << o.status;
  /* not the reason some earlier call left */
  EXPECT_EQ(o.err, "Couldn't set video mode: no window of that size\n");
  EXPECT_EQ(occurrences(o.trace, "frame"), 0);
  expect_loads_freed_once(o.trace, 3);
}
