#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings.h"
#include "support/bmp.h"
#include "support/process.h"
#include "support/surfaces.h"
#include "support/wav.h"
#include "support/xserver.h"

/* Every way the program ends, under valgrind's memcheck: nothing that the
   program itself acquired is left behind, not even still reachable; no
   invalid read, write or free anywhere in the process; and the shutdown
   handler runs once. Library-internal leaks (X, D-Bus, SDL's own) are not
   the program's and are only counted. */

namespace
{

const int slow = 120000; /* ms: everything takes far longer under valgrind */

/* Whether a frame of a stack is the program's own code, by the source
   file valgrind names from the debug information: the build records them
   from the source folder on ("./files/clip.cpp"), and valgrind keeps the
   folder when told to (--fullpath-after=). A function the compiler put
   inline into another, and so has no symbol of its own, is named too. */
bool is_ours(const std::string &frame)
{
  for (const char *folder :
       {"(./app/", "(./display/", "(./files/", "(./sound/"})
    if (frame.find(folder) != std::string::npos)
      return true;
  return false;
}

/* What hands the caller something to release. */
const std::set<std::string> acquiring = {"malloc",
                                         "calloc",
                                         "realloc",
                                         "operator new",
                                         "SDL_LoadBMP_RW",
                                         "SDL_LoadWAV_RW",
                                         "SDL_CreateRGBSurface",
                                         "SDL_RWFromFile",
                                         "SDL_ConvertSurface"};

/* "==123==    by 0x4005: load_bitmap(char const*) (startup.cpp:14)" ->
 * "load_bitmap" */
std::string function_of(const std::string &line)
{
  size_t colon = line.find(": ");
  if (colon == std::string::npos || (line.find(" at 0x") == std::string::npos &&
                                     line.find(" by 0x") == std::string::npos))
    return "";
  std::string f = line.substr(colon + 2);
  size_t end = f.find(" (");
  f = f.substr(0, end);
  size_t paren = f.find('(');
  if (paren != std::string::npos && f.rfind("operator new", 0) != 0)
    f = f.substr(0, paren);
  if (f.rfind("operator new", 0) == 0)
    f = "operator new";
  return f;
}

struct Report {
  int own_leaks = 0, library_leaks = 0, invalid = 0;
  std::string own_records;
};

/* A loss record is the program's when the first of its own functions on
   the stack got the memory from something that hands it over. */
Report analyse(const std::string &log)
{
  Report r;
  std::istringstream in(log);
  std::string line, record;
  auto finish = [&r](const std::string &rec) {
    if (rec.find("Invalid read") != std::string::npos ||
        rec.find("Invalid write") != std::string::npos ||
        rec.find("Invalid free") != std::string::npos ||
        rec.find("Mismatched free") != std::string::npos)
      r.invalid++;
    if (rec.find(" lost in loss record ") == std::string::npos &&
        rec.find(" reachable in loss record ") == std::string::npos)
      return;
    std::istringstream frames(rec);
    std::string l, callee;
    while (std::getline(frames, l)) {
      std::string f = function_of(l);
      if (f.empty())
        continue;
      if (is_ours(l)) {
        if (acquiring.count(callee)) {
          r.own_leaks++;
          r.own_records += rec + "\n";
        } else {
          r.library_leaks++;
        }
        return;
      }
      callee = f;
    }
    r.library_leaks++;
  };
  while (std::getline(in, line)) {
    size_t body = line.find("== ");
    bool blank = body != std::string::npos && line.size() == body + 3;
    if (blank) {
      finish(record);
      record.clear();
    } else {
      record += line + "\n";
    }
  }
  finish(record);
  return r;
}

class Leaks : public ::testing::Test
{
protected:
  AssetDir dir{all_assets};

  pid_t start_valgrind(std::vector<Env> env)
  {
    env.push_back({"LD_PRELOAD", FLUMO_TRACE_SHIM});
    env.push_back({"FLUMO_TRACE", dir.file("trace")});
    env.push_back({"SDL_AUDIODRIVER", "disk"});
    env.push_back({"SDL_DISKAUDIOFILE", dir.file("played.raw")});
    return start(
        {"/usr/bin/valgrind", "--tool=memcheck", "--leak-check=full",
         "--show-leak-kinds=all", "--num-callers=60", "--fullpath-after=",
         "--suppressions=" FLUMO_SOURCE_DIR "/tests/sanitizers/valgrind.supp",
         "--log-file=" + dir.file("valgrind"), FLUMO_BIN},
        dir.path, env, dir.file("stderr"));
  }
  /* Checks the run that ended with `status` as it should. */
  void expect_clean(int status, int code, int shutdowns)
  {
    ASSERT_NE(status, -1) << "did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == code)
        << "status " << status << ", stderr: " << read_file(dir.file("stderr"));
    std::string log = read_file(dir.file("valgrind"));
    ASSERT_NE(log.find("HEAP SUMMARY"), std::string::npos) << log;
    Report r = analyse(log);
    EXPECT_EQ(r.invalid, 0) << log;
    EXPECT_EQ(r.own_leaks, 0) << r.own_records;
    std::string trace = read_file(dir.file("trace"));
    size_t quits = 0;
    for (size_t at = trace.find("quit"); at != std::string::npos;
         at = trace.find("quit", at + 1))
      quits++;
    EXPECT_EQ(quits, size_t(shutdowns)) << trace;
    RecordProperty("library_leak_records", r.library_leaks);
  }
  void run_to_exit(std::vector<Env> env, int code, int shutdowns = 1)
  {
    env.insert(env.begin(), {"SDL_VIDEODRIVER", "dummy"}); /* unless env says */
    expect_clean(wait_for(start_valgrind(env), slow), code, shutdowns);
  }
};

} // namespace

TEST(LeakReport, TellsTheProgramsOwnLeaksFromTheLibraries)
{
  std::string log =
      "==1== 40 bytes in 1 blocks are definitely lost in loss record 1 of 3\n"
      "==1==    at 0x1: malloc (vg_replace_malloc.c:381)\n"
      "==1==    by 0x2: SDL_CreateRGBSurface (in /lib/libSDL-1.2.so.0)\n"
      "==1==    by 0x3: SDL_LoadBMP_RW (in /lib/libSDL-1.2.so.0)\n"
      "==1==    by 0x4: load_bitmap(char const*) (./app/startup.cpp:15)\n"
      "==1==    by 0x5: init_app() (./app/startup.cpp:40)\n"
      "==1== \n"
      "==1== 12 bytes in 2 blocks are definitely lost in loss record 2 of 4\n"
      "==1==    at 0x1: malloc (vg_replace_malloc.c:381)\n"
      "==1==    by 0x6: XOpenDisplay (in /lib/libX11.so.6)\n"
      "==1==    by 0x7: SDL_Init (in /lib/libSDL-1.2.so.0)\n"
      "==1==    by 0x5: init_app() (./app/startup.cpp:30)\n"
      "==1== \n"
      "==1== 8 bytes in 1 blocks are still reachable in loss record 3 of 4\n"
      "==1==    at 0x1: malloc (vg_replace_malloc.c:381)\n"
      "==1==    by 0x9: to_mono (./files/clip.cpp:95)\n"
      "==1==    by 0x9: convert_clip (./files/clip.cpp:130)\n"
      "==1==    by 0x9: load_sound_clip(char const*) (./files/clip.cpp:150)\n"
      "==1== \n"
      "==1== 64 bytes in 1 blocks are still reachable in loss record 4 of 4\n"
      "==1==    at 0x1: malloc (vg_replace_malloc.c:381)\n"
      "==1==    by 0xa: SDL_AllocFormat (in /lib/libSDL-1.2.so.0)\n"
      "==1==    by 0xb: SDL_SetVideoMode (in /lib/libSDL-1.2.so.0)\n"
      "==1==    by 0x5: init_app() (./app/startup.cpp:50)\n"
      "==1== \n"
      "==1== Invalid read of size 4\n"
      "==1==    at 0x8: redraw(SDL_Surface*) (./display/redraw.cpp:9)\n"
      "==1== \n";
  Report r = analyse(log);
  /* the first is SDL's surface that the program kept; the third memory a
     function of the program's, inlined into another, took and kept */
  EXPECT_EQ(r.own_leaks, 2) << r.own_records;
  EXPECT_EQ(r.library_leaks, 2);
  EXPECT_EQ(r.invalid, 1);
}

TEST_F(Leaks, WindowClosedWhileTheClipPlays)
{
  XServer x;
  ASSERT_TRUE(x.ok());
  pid_t pid = start_valgrind({{"DISPLAY", x.name()}});
  Window win = x.find_window(caption, slow);
  ASSERT_NE(win, 0u) << read_file(dir.file("stderr"));
  ASSERT_TRUE(wait_for_text(dir.file("trace"), "frame", slow));
  x.xdotool("windowfocus --sync " + std::to_string(win) +
            " key space key space");
  ASSERT_TRUE(wait_for_text(dir.file("trace"),
                            "frame\nframe\nframe\nframe\nframe", slow));
  x.request_close(win);
  expect_clean(wait_for(pid, slow), 0, 1);
}

TEST_F(Leaks, Sigterm)
{
  pid_t pid = start_valgrind({{"SDL_VIDEODRIVER", "dummy"}});
  ASSERT_TRUE(wait_for_text(dir.file("trace"), "frame", slow));
  kill(pid, SIGTERM);
  expect_clean(wait_for(pid, slow), 0, 1);
}

TEST_F(Leaks, SdlCannotStart)
{
  run_to_exit({{"SDL_VIDEODRIVER", "no-such-driver"}}, failed_status, 0);
}

TEST_F(Leaks, EachBitmapMissing)
{
  for (const std::string &name : {push_bmp, normal_bmp, digits_bmp}) {
    SCOPED_TRACE(name);
    AssetDir again(all_assets); /* a fresh folder for each */
    std::swap(dir.path, again.path);
    unlink(dir.file(name).c_str());
    run_to_exit({}, failed_status);
    std::swap(dir.path, again.path);
  }
}

TEST_F(Leaks, ClipMissingOrBroken)
{
  unlink(dir.file(clip_wav).c_str());
  run_to_exit({}, clip_failed_status);
  write_file(dir.file(clip_wav), "RIFF\x10\0\0\0WAVEfmt broken");
  unlink(dir.file("trace").c_str());
  run_to_exit({}, clip_failed_status);
}

/* What start-up makes of files in other forms: a digit strip with a
   palette, copied into plain colours, and a clip of 8-bit stereo at 22050
   Hz, its sizes left unknown as on a pipe, copied with sizes that match,
   mixed down and resampled. */
TEST_F(Leaks, StripAndClipConvertedAtStartUp)
{
  SDL_Surface *strip = SDL_LoadBMP(dir.file(digits_bmp).c_str());
  ASSERT_NE(strip, nullptr);
  write_file(dir.file(digits_bmp), encode_bmp(strip, 8));
  SDL_FreeSurface(strip);
  WavForm streamed;
  streamed.streamed = true;
  write_file(dir.file(clip_wav),
             make_wav(
                 22050, 8, 2, 2000, [](int i) { return (i % 40 - 20) / 40.0; },
                 streamed));
  pid_t pid = start_valgrind({{"SDL_VIDEODRIVER", "dummy"}});
  ASSERT_TRUE(wait_for_text(dir.file("trace"), "frame", slow));
  kill(pid, SIGTERM);
  expect_clean(wait_for(pid, slow), 0, 1);
}

TEST_F(Leaks, WindowCannotOpen)
{
  run_to_exit({{"FLUMO_REFUSE_WINDOW", "1"}}, failed_status);
  EXPECT_NE(read_file(dir.file("stderr")).find("Couldn't set video mode: "),
            std::string::npos);
}
