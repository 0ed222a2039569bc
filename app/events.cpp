#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "app/app.h"
#include "app/app_state.h"

/* SDL's own SIGINT/SIGTERM handlers push a quit event from inside the
   handler, which takes the event queue's lock; the main loop holds that
   lock much of the time, so the handler could wait on it forever. Ours
   only sets a flag that the pump reads. */
static volatile sig_atomic_t quit_signalled, shutting_down;

/* Once shutting down, a quit signal ends the process as if it had never
   been caught: nothing reads the flag any more. */
static void on_quit_signal(int signum)
{
  quit_signalled = 1;
  if (shutting_down) {
    signal(signum, SIG_DFL);
    raise(signum);
  }
}

/* A signal that was ignored when the program started (a background job of
   a script ignores SIGINT) stays ignored. */
#ifdef _WIN32
/* Windows has no sigaction; its C runtime's signal() is what there is.
   Nor has it alarm(). */
static void catch_signal(int signum)
{
  if (signal(signum, on_quit_signal) == SIG_IGN)
    signal(signum, SIG_IGN);
}

static void end_shutdown_within(unsigned seconds)
{
  (void)seconds;
}
#else
static void catch_signal(int signum)
{
  struct sigaction action = {};
  sigaction(signum, NULL, &action);
  if (action.sa_handler == SIG_IGN)
    return;
  action = {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  sigaction(signum, &action, NULL);
}

static void on_shutdown_overdue(int signum)
{
  (void)signum;
  _exit(failure_status);
}

static void end_shutdown_within(unsigned seconds)
{
  struct sigaction action = {};
  action.sa_handler = on_shutdown_overdue;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, NULL);
  alarm(seconds);
}
#endif

/* A display that goes away usually ends the program at once, with Xlib's
   status 1; SDL 3 instead reports a lost Wayland compositor as the quit a
   closed window sends. Windows and the browser keep their displays. */
#if defined _WIN32 || defined __EMSCRIPTEN__
static int display_gone(void)
{
  return 0;
}
#else
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

/* A compositor that is ending may still take a connection, which drops
   as its listening socket closes a moment later; a live one keeps it open
   and says nothing until it is spoken to. */
const int compositor_answer_ms = 100;

static int connection_dropped(int sock)
{
  struct pollfd watch = {sock, POLLIN, 0};
  return poll(&watch, 1, compositor_answer_ms) == 1;
}

/* 1 when SDL draws on Wayland and the compositor's socket is no longer
   there, refuses a connection or drops it: the compositor is gone. */
static int display_gone(void)
{
  char driver[16];
  if (!SDL_VideoDriverName(driver, sizeof driver) ||
      strcmp(driver, "wayland") != 0)
    return 0;
  const char *name = getenv("WAYLAND_DISPLAY");
  const char *folder = getenv("XDG_RUNTIME_DIR");
  if (!name)
    name = "wayland-0";
  struct sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  int length = name[0] == '/' ? snprintf(address.sun_path,
                                         sizeof address.sun_path, "%s", name)
               : folder ? snprintf(address.sun_path, sizeof address.sun_path,
                                   "%s/%s", folder, name)
                        : -1;
  if (length < 0 || length >= (int)sizeof address.sun_path)
    return 0;
  int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  if (sock < 0)
    return 0;
  int gone = connect(sock, (struct sockaddr *)&address, sizeof address) != 0
                 ? errno == ECONNREFUSED || errno == ENOENT
                 : connection_dropped(sock);
  close(sock);
  return gone;
}
#endif

void catch_quit_signals(void)
{
  catch_signal(SIGINT);
  catch_signal(SIGTERM);
}

int quit_signal_arrived(void)
{
  return quit_signalled;
}

/* A display that went away can hold SDL's shutdown for ever: Xlib ends the
   program when it loses the X server, and sdl12-compat over SDL2 2.26 then
   waits in SDL_Quit for an answer from that server. Shutting down a live
   display takes milliseconds. */
const unsigned shutdown_limit_s = 1;

void bound_shutdown(void)
{
  shutting_down = 1;
  end_shutdown_within(shutdown_limit_s);
}

int pump_events(void)
{
  SDL_Event event;

  while (!quit_signalled) {
    if (!SDL_PollEvent(&event))
      return 1;
    switch (event.type) {
    case SDL_KEYDOWN: on_key_down(&event); break;
    case SDL_KEYUP: on_key_up(&event); break;
    case SDL_VIDEOEXPOSE:
      /* sdl12-compat asks for this after the window was covered, where
         the classic library restores the pixels itself: show the window
         surface again, unchanged */
      SDL_UpdateRect(app.screen, 0, 0, 0, 0);
      break;
    case SDL_QUIT: /* whatever is queued behind it stays unread */
      if (display_gone())
        exit(failure_status);
      return 0;
    }
  }
  return 0;
}
