#ifndef FLUMO_TEST_DESKTOP_H
#define FLUMO_TEST_DESKTOP_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"

/* A desktop of the test's own on which the window tests open the program,
   and what a person or a window manager does with a window there,
   whichever display system it runs: an X server or a Wayland compositor.
   Windows are known by a number of the desktop's own. */
class Desktop
{
public:
  virtual ~Desktop() = default;
  virtual bool ok() const = 0;
  /* What a program needs in its environment to open windows here. */
  virtual std::vector<Env> session() const = 0;
  /* The top-level window with this title, or 0 after timeout_ms. */
  virtual unsigned long find_window(const std::string &title,
                                    int timeout_ms) const = 0;
  virtual bool focus(unsigned long w) const = 0;
  virtual std::string title(unsigned long w) const = 0;
  virtual void size(unsigned long w, int *width, int *height) const = 0;
  /* The window's pixels as 0xRRGGBB, row by row. */
  virtual std::vector<uint32_t> screenshot(unsigned long w) const = 0;
  /* Presses ("keydown") or releases ("keyup") a key named as X names it
     (space, Escape, a); a key pressed stays down until released. */
  virtual bool key(const std::string &action, const std::string &name) = 0;
  /* What the window manager sends when the user closes the window. */
  virtual void request_close(unsigned long w) const = 0;
  /* Ends the display server at once, as when the session it ran goes:
     the X server, or the compositor. Nothing else can be asked of it. */
  virtual void go_away() = 0;

  /* Waits up to five seconds for the window to show `want`; returns how
     many pixels still differ (0 when it does). */
  size_t wait_for_picture(unsigned long w,
                          const std::vector<uint32_t> &want) const;
};

/* The desktop the tests are run on: a Wayland compositor where the
   environment's FLUMO_DESKTOP says "wayland", an X server otherwise. */
std::unique_ptr<Desktop> make_desktop(void);
bool on_wayland(void);

#endif
