#ifndef FLUMO_APP_H
#define FLUMO_APP_H

#include <SDL.h>

#include "settings.h"

/* Start-up and shutdown (startup.cpp). */
void init_app(void);
void shutdown_app(void);

/* The pictures (pictures.cpp). Each load ends the program with a line
   saying why if the file cannot be used; a picture is never larger than
   the screen, measured first. */
void measure_screen(void);
SDL_Surface *load_bitmap(const char *path);
/* The digit strip, its black keyed out. */
SDL_Surface *load_digit_strip(void);
/* The window's icon, where there is a usable one. */
void set_icon(void);

/* NULL when the bitmap file may be given to SDL's loader, or why not, in
   a few words: a header that asks for more than SDL can draw or the file
   holds. The size SDL would make of it goes to width and height (0 where
   the header does not say). Leaves the file where it was found. */
const char *bitmap_fault(SDL_RWops *file, int *width, int *height);
/* Gives the surface SDL made of the bitmap at the file's place the colours
   its palette holds, where SDL may have read them from elsewhere. */
void use_file_palette(SDL_RWops *file, SDL_Surface *surface);

/* Drains the event queue: 1 when it is empty and the program goes on,
   0 when the window was closed or SIGINT or SIGTERM arrived. Ends the
   program with failure_status when its display went away. */
int pump_events(void);
void catch_quit_signals(void);
/* 1 once SIGINT or SIGTERM has arrived. */
int quit_signal_arrived(void);
/* From here on the process ends, with failure_status, if shutting down
   takes more than a second, and at once on a quit signal. */
void bound_shutdown(void);

void on_key_down(const SDL_Event *event);
void on_key_up(const SDL_Event *event);

#endif
