#ifndef FLUMO_WEB_SDL_H
#define FLUMO_WEB_SDL_H

/* SDL 1.2, as flumo calls it, on the web: SDL2 with the few calls and
   rules of SDL 1.2 that it lacks (sdl12.cpp). Only what flumo uses. */
#include <SDL2/SDL.h>

#define SDL_SRCCOLORKEY 0x00001000
#define SDL_SRCALPHA 0x00010000
/* the window must be drawn again: a window event, and the only one that
   SDL_PollEvent below hands on */
#define SDL_VIDEOEXPOSE SDL_WINDOWEVENT

/* The screen, as SDL 1.2 describes it before a window opens: the size
   SDL2 gives the page's display. */
typedef struct SDL_VideoInfo {
  int current_w, current_h;
} SDL_VideoInfo;
const SDL_VideoInfo *SDL_GetVideoInfo(void);

/* The window, on the page's canvas; 32 bits a pixel, the only depth
   flumo asks for. */
SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags);
/* All zero: the whole screen. */
void SDL_UpdateRect(SDL_Surface *screen, Sint32 x, Sint32 y, Uint32 w,
                    Uint32 h);
void SDL_WM_SetCaption(const char *title, const char *icon);
void SDL_WM_SetIcon(SDL_Surface *icon, Uint8 *mask);
int SDL_SetAlpha(SDL_Surface *surface, Uint32 flags, Uint8 alpha);
/* 1 when every colour was set */
int SDL_SetColors(SDL_Surface *surface, SDL_Color *colors, int first, int n);

/* The SDL2 underneath, which loads the files, as SDL 1.2 names its own
   version. */
const SDL_version *SDL_Linked_Version(void);

/* SDL2's calls of these names, with SDL 1.2's rules. */
int sdl12_poll_event(SDL_Event *event);
int sdl12_open_audio(SDL_AudioSpec *desired, SDL_AudioSpec *obtained);
#define SDL_PollEvent sdl12_poll_event
#define SDL_OpenAudio sdl12_open_audio

#endif
