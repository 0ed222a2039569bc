#ifndef FLUMO_APP_H
#define FLUMO_APP_H

#include <SDL.h>

/* The counter stops here. */
const int max_count = 20;

void init_app(void);
void shutdown_app(void);

/* Drains the event queue: 1 when it is empty and the program goes on,
   0 when the window was closed or SIGINT or SIGTERM arrived. */
int pump_events(void);
void catch_quit_signals(void);

void on_key_down(const SDL_Event *event);
void on_key_up(const SDL_Event *event);

#endif
