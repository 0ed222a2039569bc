#include "app/app.h"
#include "app/app_state.h"
#include "display/display.h"

int main(int argc, char *argv[])
{
  (void)argc;
  (void)argv;
  init_app();
  redraw(app.normal_image);
  while (pump_events()) {
    /* polls without pause: there is nothing to do between events */
  }
  return 0;
}
