#include <signal.h>
#include <unistd.h>

#include "app/app.h"

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
