/* Preloaded into the program by the whole-process tests: writes one line
   for each call of a few SDL functions to the file named by FLUMO_TRACE,
   then calls the real function. Shows when the first frame is out, the
   size the window is asked for, and what shutdown released, in which
   order. With FLUMO_SLOW_OPEN naming a
   file, opening it takes a second, a slow disk's start-up to send a
   signal into. With FLUMO_STUCK_QUIT set, SDL_Quit waits ten seconds
   first, as on a display that no longer answers; set to SIGTERM, that
   signal arrives as the wait starts. With FLUMO_REFUSE_WINDOW set,
   the window does not open, and SDL gives no reason of its own, as SDL 3
   underneath sdl12-compat does: the reason last set, by a bitmap's load
   here, stays. */

#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

void trace(const char *fmt, ...)
{
  static int fd = -2;
  if (fd == -2) {
    const char *path = getenv("FLUMO_TRACE");
    fd = path ? open(path, O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
  }
  if (fd < 0)
    return;
  char line[512];
  va_list args;
  va_start(args, fmt);
  int n = vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  if (n > 0 && write(fd, line, strlen(line)) < 0)
    return;
}

template <typename F> F real(const char *name)
{
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

SDL_RWops *SDL_RWFromFile(const char *file, const char *mode)
{
  SDL_RWops *rw = real<SDL_RWops *(*)(const char *, const char *)>(
      "SDL_RWFromFile")(file, mode);
  trace("open %p %s\n", rw, file);
  const char *slow = getenv("FLUMO_SLOW_OPEN");
  if (slow && strcmp(slow, file) == 0)
    sleep(1); /* a signal ends the wait early, as it would a disk's */
  return rw;
}

SDL_Surface *SDL_LoadBMP_RW(SDL_RWops *src, int freesrc)
{
  SDL_Surface *s =
      real<SDL_Surface *(*)(SDL_RWops *, int)>("SDL_LoadBMP_RW")(src, freesrc);
  trace("load %p\n", s);
  if (getenv("FLUMO_REFUSE_WINDOW"))
    SDL_SetError("a reason left from loading a bitmap");
  return s;
}

void SDL_FreeSurface(SDL_Surface *s)
{
  if (s)
    trace("free %p\n", s);
  real<void (*)(SDL_Surface *)>("SDL_FreeSurface")(s);
}

void SDL_WM_SetIcon(SDL_Surface *icon, Uint8 *mask)
{
  trace("icon %p\n", icon);
  real<void (*)(SDL_Surface *, Uint8 *)>("SDL_WM_SetIcon")(icon, mask);
}

SDL_Surface *SDL_SetVideoMode(int w, int h, int bpp, Uint32 flags)
{
  trace("mode %dx%d\n", w, h);
  if (getenv("FLUMO_REFUSE_WINDOW"))
    return NULL;
  return real<SDL_Surface *(*)(int, int, int, Uint32)>("SDL_SetVideoMode")(
      w, h, bpp, flags);
}

void SDL_UpdateRect(SDL_Surface *screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h)
{
  real<void (*)(SDL_Surface *, Sint32, Sint32, Uint32, Uint32)>(
      "SDL_UpdateRect")(screen, x, y, w, h);
  trace("frame\n");
}

void SDL_CloseAudio(void)
{
  trace("closeaudio\n");
  real<void (*)(void)>("SDL_CloseAudio")();
}

void SDL_FreeWAV(Uint8 *buffer)
{
  trace("freewav %p\n", buffer);
  real<void (*)(Uint8 *)>("SDL_FreeWAV")(buffer);
}

void SDL_Quit(void)
{
  trace("quit\n");
  const char *stuck = getenv("FLUMO_STUCK_QUIT");
  if (stuck && strcmp(stuck, "SIGTERM") == 0)
    raise(SIGTERM);
  for (int left = stuck ? 10 : 0; left > 0;)
    left = sleep(left); /* however many signals it is woken by */
  real<void (*)(void)>("SDL_Quit")();
}
}
