#include <signal.h>

#include "app/app.h"

/* SDL's own SIGINT/SIGTERM handlers push a quit event from inside the
   handler, which takes the event queue's lock; the main loop holds that
   lock much of the time, so the handler could wait on it forever. Ours
   only sets a flag that the pump reads. */
static volatile sig_atomic_t quit_signalled;

static void on_quit_signal(int signum)
{
  (void)signum;
  quit_signalled = 1;
}

void catch_quit_signals(void)
{
  struct sigaction action = {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, NULL);
  sigaction(SIGTERM, &action, NULL);
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
    case SDL_QUIT: return 0; /* whatever is queued behind it stays unread */
    }
  }
  return 0;
}
