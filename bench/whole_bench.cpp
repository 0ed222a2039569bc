/* Whole-process figures, each beside its floor, measured in one run, with
   the median of several tries:
     start-up  exec until the first frame is on screen, under Xvfb, against
               minimal_sdl opening a window of the same size;
     memory    peak resident memory once running, against the same;
     idle      processor used while nobody presses anything;
     latency   from a counted press until the clip's first sample leaves
               SDL's disk audio driver, against one device buffer.
   Run from a folder of assets; prints one line a figure:
     name <tab> value <tab> floor <tab> unit */

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "files/files.h"
#include "settings.h"
#include "tests/support/process.h"

namespace
{

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

/* The colour at the centre of the first viewable top-level window of
   size w x h, or -1 while there is none. */
long centre_colour(Display *dpy, int w, int h)
{
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  long colour = -1;
  XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n);
  for (unsigned i = 0; i < n && colour < 0; i++) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, kids[i], &a) || a.map_state != IsViewable ||
        a.width != w || a.height != h)
      continue;
    XImage *img =
        XGetImage(dpy, kids[i], w / 2, h / 2, 1, 1, AllPlanes, ZPixmap);
    if (img) {
      colour = long(XGetPixel(img, 0, 0) & 0xffffff);
      XDestroyImage(img);
    }
  }
  if (kids)
    XFree(kids);
  return colour;
}

long proc_field(pid_t pid, const char *file, const std::string &key)
{
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0)
      return atol(line.c_str() + key.size());
  return -1;
}

double cpu_seconds(pid_t pid)
{
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(in)), {});
  s = s.substr(s.rfind(')') + 2);
  unsigned long utime = 0, stime = 0;
  sscanf(s.c_str(), "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
         &utime, &stime);
  return double(utime + stime) / sysconf(_SC_CLK_TCK);
}

struct Run {
  double startup_ms, peak_kb, idle_cpu;
};

/* One start of a program: until the window shows `colour` at its centre. */
Run run_once(Display *dpy, const std::vector<std::string> &argv, int w, int h,
             long colour, bool idle)
{
  Run r = {0, 0, 0};
  auto t0 = Clock::now();
  pid_t pid = start(argv, ".", {}, "/dev/null");
  while (centre_colour(dpy, w, h) != colour && ms_since(t0) < 20000)
    ;
  r.startup_ms = ms_since(t0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  r.peak_kb = double(proc_field(pid, "status", "VmHWM:"));
  if (idle) {
    double c0 = cpu_seconds(pid);
    auto t1 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    r.idle_cpu = (cpu_seconds(pid) - c0) / (ms_since(t1) / 1000) * 100;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  while (centre_colour(dpy, w, h) >= 0) /* gone before the next */
    ;
  return r;
}

/* Milliseconds from play_clip until the clip's first sample is written. */
double sound_latency(const std::string &out)
{
  SoundClip clip = load_sound_clip(clip_file);
  open_audio(&clip);
  FILE *f = fopen(out.c_str(), "rb");
  std::vector<double> times;
  for (int i = 0; i < 8 && f; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); /* quiet */
    fseek(f, 0, SEEK_END);
    long from = ftell(f);
    auto t0 = Clock::now();
    play_clip(&clip);
    bool heard = false;
    while (!heard && ms_since(t0) < 5000) {
      clearerr(f);
      fseek(f, from, SEEK_SET);
      int c;
      while (!heard && (c = fgetc(f)) != EOF)
        heard = c != 0, from++;
    }
    if (heard)
      times.push_back(ms_since(t0));
  }
  if (f)
    fclose(f);
  SDL_CloseAudio();
  free_sound_clip(&clip);
  return median(times);
}

} // namespace

/* A window may go between finding it and reading it back. */
static int ignore_error(Display *, XErrorEvent *)
{
  return 0;
}

int main(int argc, char *argv[])
{
  XSetErrorHandler(ignore_error);
  if (argc != 3) {
    fprintf(stderr, "usage: %s path/to/flumo path/to/minimal_sdl\n", argv[0]);
    return 2;
  }
  Display *dpy = XOpenDisplay(nullptr);
  SDL_Surface *normal = SDL_LoadBMP(normal_file);
  if (!dpy || !normal) {
    fprintf(stderr, "needs an X display and flumo's assets in this folder\n");
    return 1;
  }
  int w = normal->w, h = normal->h;
  Uint8 *p = (Uint8 *)normal->pixels + h / 2 * normal->pitch +
             w / 2 * normal->format->BytesPerPixel;
  Uint32 v = 0;
  memcpy(&v, p, normal->format->BytesPerPixel);
  Uint8 r, g, b;
  SDL_GetRGB(v, normal->format, &r, &g, &b);
  long flumo_colour = long(r) << 16 | g << 8 | b;

  std::vector<double> fs, ms, fm, mm, idle;
  for (int i = 0; i < 9; i++) {
    Run f = run_once(dpy, {argv[1]}, w, h, flumo_colour, i == 0);
    Run m = run_once(dpy, {argv[2], std::to_string(w), std::to_string(h)}, w, h,
                     0x336699, false);
    fs.push_back(f.startup_ms), ms.push_back(m.startup_ms);
    fm.push_back(f.peak_kb), mm.push_back(m.peak_kb);
    if (i == 0)
      idle.push_back(f.idle_cpu);
  }
  printf("start-up\t%.1f\t%.1f\tms\n", median(fs), median(ms));
  printf("peak memory\t%.0f\t%.0f\tKiB\n", median(fm), median(mm));
  printf("idle processor\t%.0f\t100\t%% of one core\n", idle[0]);

  char out[] = "/tmp/flumo-latency-XXXXXX";
  close(mkstemp(out));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", out, 1);
  if (SDL_Init(SDL_INIT_AUDIO) == 0)
    printf("sound latency\t%.1f\t%.1f\tms\n", sound_latency(out),
           1000.0 * clip_buffer_frames / clip_rate);
  unlink(out);
  SDL_Quit();
  return 0;
}
