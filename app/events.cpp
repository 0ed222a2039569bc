#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "app/app.h"
#include "app/app_state.h"

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

int pump_events(void)
{
  SDL_Event event;

  while (!quit_signal_arrived()) {
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
