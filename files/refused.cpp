#include <cstdio>
#include <cstring>

#include "files/headers.h"

/* What SDL's loaders say of a form they cannot read, which the file's kind
   says better: the classic library's, sdl12-compat's and SDL 2's words.
   SDL 3 says nothing at all. */
static const char *const says_only_the_form[] = {
    "Compressed BMP files not supported", "Unknown pixel format",
    "Unknown WAVE data format",           "Unknown WAVE format tag",
    "Complex WAVE files not supported",   "MPEG Layer 3 data not supported",
};

static bool says_more(const char *words)
{
  if (!*words)
    return false;
  for (const char *form : says_only_the_form)
    if (strncmp(words, form, strlen(form)) == 0)
      return false;
  return true;
}

const char *refused_by_sdl(const char *kind)
{
  static char why[320];
  const char *words = SDL_GetError();
  const SDL_version *v = SDL_Linked_Version();
  int n = snprintf(why, sizeof why, "%s, which SDL %d.%d.%d cannot read", kind,
                   v->major, v->minor, v->patch);
  if (words && says_more(words) && n < (int)sizeof why)
    snprintf(why + n, sizeof why - n, " (%s)", words);
  return why;
}
