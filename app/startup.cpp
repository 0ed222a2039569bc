#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "app/app_state.h"
#include "files/files.h"
#include "util.h"

AppState app;

/* A quit signal that arrives during start-up ends it, with status 0 as in
   the main loop, once the step it came in has returned. */
static void stop_if_asked(void)
{
  if (quit_signal_arrived())
    exit(0);
}

/* Ends the program with its line, which SDL's reason completes. */
static void fail(const char *line, const char *otherwise)
{
  fprintf(stderr, line, reason(otherwise));
  exit(failure_status);
}

void init_app(void)
{
  catch_quit_signals(); /* before SDL starts, which then leaves them to us */
  SDL_ClearError();
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0)
    fail("Couldn't initialize SDL: %s\n",
         "no display or sound system it can use");
  atexit(shutdown_app);
  stop_if_asked();
  measure_screen();

  app.push_image = load_bitmap(push_file);
  stop_if_asked();
  app.normal_image = load_bitmap(normal_file);
  stop_if_asked();
  app.digits_image = load_digit_strip();
  stop_if_asked();

  SDL_ClearError();
  app.screen = SDL_SetVideoMode(app.normal_image->w, app.normal_image->h, 32,
                                SDL_SWSURFACE);
  if (!app.screen)
    fail("Couldn't set video mode: %s\n", "no window of that size");
  app.ready = 1;
  app.count = 0;

  app.clip = load_sound_clip(clip_file);
  stop_if_asked();
  open_audio(&app.clip); /* paused until the first counted press */

  SDL_WM_SetCaption(caption, caption);
  set_icon();
  stop_if_asked();
}

void shutdown_app(void)
{
  bound_shutdown();
  SDL_CloseAudio(); /* no callback runs after this */
  free_sound_clip(&app.clip);
  SDL_FreeSurface(app.normal_image);
  SDL_FreeSurface(app.push_image);
  SDL_FreeSurface(app.digits_image);
  app.normal_image = app.push_image = app.digits_image = NULL;
  SDL_Quit();
}
