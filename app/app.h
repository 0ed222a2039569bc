#ifndef FLUMO_APP_H
#define FLUMO_APP_H

#include <SDL.h>

#include "settings.h"

/* Start-up and shutdown (startup.cpp). */
void init_app(void);
void shutdown_app(void);

/* Drains the event queue (events.cpp): 1 when it is empty and the
   program goes on, 0 when the window was closed or SIGINT or SIGTERM
   arrived. Ends the program with failure_status when its display went
   away. */
int pump_events(void);

/* Quit signals and the bound on shutting down (signals.cpp). */
void catch_quit_signals(void);
/* 1 once SIGINT or SIGTERM has arrived. */
int quit_signal_arrived(void);
/* From here on the process ends, with failure_status, if shutting down
   takes more than a second, and at once on a quit signal. */
void bound_shutdown(void);

/* The latch and the counter (keys.cpp). */
void on_key_down(const SDL_Event *event);
void on_key_up(const SDL_Event *event);

#endif
