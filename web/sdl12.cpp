#include <SDL.h>
#include <emscripten.h>

#include <string.h>

#undef SDL_PollEvent
#undef SDL_OpenAudio

/* SDL 1.2 has one window, and keeps its title and icon for it. */
static SDL_Window *window;
static char caption[256];
static SDL_Surface *pending_icon;

const SDL_VideoInfo *SDL_GetVideoInfo(void)
{
  static SDL_VideoInfo info;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0)
    info.current_w = mode.w, info.current_h = mode.h;
  return &info;
}

const SDL_version *SDL_Linked_Version(void)
{
  static SDL_version version;
  SDL_GetVersion(&version);
  return &version;
}

SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  (void)flags; /* a software surface, whatever is asked */
  if (bpp != 0 && bpp != 32) {
    SDL_SetError("only 32 bits a pixel here");
    return NULL;
  }
  if (window) {
    SDL_SetWindowSize(window, width, height);
    return SDL_GetWindowSurface(window);
  }
  /* SDL 1.2 sends no text unless asked; SDL2 then also keeps Space from
     scrolling the page. The window has the keys when the canvas has the
     focus, so the page's own controls keep theirs. Our poll yields to the
     browser, so SDL2 need not in every update too. */
  SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_KEYBOARD_ELEMENT, "#canvas");
  SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
  window = SDL_CreateWindow(caption, SDL_WINDOWPOS_UNDEFINED,
                            SDL_WINDOWPOS_UNDEFINED, width, height, 0);
  if (!window)
    return NULL;
  if (pending_icon) {
    SDL_SetWindowIcon(window, pending_icon);
    SDL_FreeSurface(pending_icon);
    pending_icon = NULL;
  }
  return SDL_GetWindowSurface(window);
}

void SDL_UpdateRect(SDL_Surface *screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h)
{
  (void)screen;
  if (!window)
    return;
  if (x == 0 && y == 0 && w == 0 && h == 0) {
    SDL_UpdateWindowSurface(window);
    return;
  }
  SDL_Rect rect = {x, y, (int)w, (int)h};
  SDL_UpdateWindowSurfaceRects(window, &rect, 1);
}

void SDL_WM_SetCaption(const char *title, const char *icon)
{
  (void)icon; /* a page has no icon title */
  SDL_strlcpy(caption, title ? title : "", sizeof caption);
  if (window)
    SDL_SetWindowTitle(window, caption);
}

void SDL_WM_SetIcon(SDL_Surface *icon, Uint8 *mask)
{
  (void)mask; /* the icon's own transparency serves */
  if (window) {
    SDL_SetWindowIcon(window, icon);
  } else if (icon) {
    SDL_FreeSurface(pending_icon);
    pending_icon = SDL_DuplicateSurface(icon);
  }
}

int SDL_SetAlpha(SDL_Surface *surface, Uint32 flags, Uint8 alpha)
{
  if (!(flags & SDL_SRCALPHA))
    return SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
  SDL_SetSurfaceAlphaMod(surface, alpha);
  return SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_BLEND);
}

int SDL_SetColors(SDL_Surface *surface, SDL_Color *colors, int first, int n)
{
  SDL_Palette *palette = surface->format->palette;
  return palette && SDL_SetPaletteColors(palette, colors, first, n) == 0;
}

/* Waits for the next key, or for a tenth of a second at most: the browser
   draws the canvas, plays the sound and delivers keys only while the
   program waits, and an idle page costs next to nothing. The wait ends
   after the key has gone through SDL2's own handlers, with the key in
   the queue. (The body is JavaScript, left as it is written.) */
// clang-format off
EM_JS(void, wait_for_input, (int most_ms), {
  Asyncify.handleSleep(function(wake_up) {
    var timer = setTimeout(wake, most_ms), woken = false;
    function wake() {
      if (woken)
        return;
      woken = true;
      clearTimeout(timer);
      removeEventListener("keydown", soon, true);
      removeEventListener("keyup", soon, true);
      wake_up();
    }
    function soon() { setTimeout(wake, 0); }
    addEventListener("keydown", soon, true);
    addEventListener("keyup", soon, true);
  });
});
// clang-format on

/* SDL 1.2's events: a held key is not repeated, no text is sent, and of
   the window's events only an exposure comes through. */
static int is_sdl12_event(const SDL_Event *event)
{
  switch (event->type) {
  case SDL_KEYDOWN: return !event->key.repeat;
  case SDL_KEYUP:
  case SDL_QUIT: return 1;
  case SDL_WINDOWEVENT: return event->window.event == SDL_WINDOWEVENT_EXPOSED;
  default: return 0;
  }
}

/* flumo always passes an event to fill. */
int sdl12_poll_event(SDL_Event *event)
{
  while (SDL_PollEvent(event))
    if (is_sdl12_event(event))
      return 1;
  /* An empty queue is where the program's loop yields to the page, so
     that main runs as it does on the desktop. */
  wait_for_input(100);
  return 0;
}

/* SDL 1.2 hands the callback a buffer of silence; SDL2 on the web hands
   over what was there before. */
static SDL_AudioCallback program_callback;
static Uint8 silence;

/* Whether what the callback writes now will be heard. From 2.28 on, SDL2
   calls it from a timer while the page may not yet make sound, into a
   buffer it throws away: the first press's clip would be used up there,
   unheard. (The body is JavaScript.) */
// clang-format off
EM_JS(int, sound_is_heard, (void), {
  var audio = Module['SDL2'].audio;
  return audio.silenceBuffer === undefined ||
         audio.currentOutputBuffer !== audio.silenceBuffer;
});
// clang-format on

/* The program is asked for samples only when they will be heard, as
   SDL 1.2's device asks only while it plays. */
static void callback_on_silence(void *userdata, Uint8 *stream, int len)
{
  memset(stream, silence, len);
  if (sound_is_heard())
    program_callback(userdata, stream, len);
}

int sdl12_open_audio(SDL_AudioSpec *desired, SDL_AudioSpec *obtained)
{
  SDL_AudioSpec spec = *desired;
  program_callback = desired->callback;
  spec.callback = callback_on_silence;
  int opened = SDL_OpenAudio(&spec, obtained);
  if (obtained)
    obtained->callback = desired->callback;
  /* the callback's format: the program's, or the device's if it asked */
  silence = (obtained ? obtained : desired)->format == AUDIO_U8 ? 0x80 : 0;
  return opened;
}
