#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"

void on_key_down(const SDL_Event *event)
{
  if (event->type != SDL_KEYDOWN || event->key.state != SDL_PRESSED ||
      !app.ready)
    return;

  switch (event->key.keysym.sym) {
  case SDLK_SPACE:
    if (app.count < max_count) {
      app.count++;
      play_clip(&app.clip);
    }
    app.ready = 0;
    redraw(app.push_image);
    break;
  case SDLK_ESCAPE:
    app.count = 0;
    app.ready = 0;
    redraw(app.normal_image);
    break;
  default: break; /* other keys neither count nor latch */
  }
}

void on_key_up(const SDL_Event *event)
{
  if (event->type != SDL_KEYUP || event->key.state != SDL_RELEASED || app.ready)
    return;
  app.ready = 1;
  redraw(app.normal_image);
}
