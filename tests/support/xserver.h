#ifndef FLUMO_TEST_XSERVER_H
#define FLUMO_TEST_XSERVER_H

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

/* A virtual X server of the test's own, with no window manager, and what
   a person or a window manager would do with a window on it. */
class XServer
{
public:
  XServer();  /* starts Xvfb on a free display */
  ~XServer(); /* stops it */
  bool ok() const { return dpy != nullptr; }
  const std::string &name() const { return display_name; } /* ":N" */
  Display *display() const { return dpy; }

  /* The top-level window with this title, or 0 after timeout_ms. */
  Window find_window(const std::string &title, int timeout_ms) const;
  std::string text_property(Window w, const char *property) const;
  bool has_property(Window w, const char *property) const;
  bool has_icon_pixmap(Window w) const;
  void size(Window w, int *width, int *height) const;
  /* The window's pixels as 0xRRGGBB, row by row. */
  std::vector<uint32_t> screenshot(Window w) const;
  /* Waits up to five seconds for the window to show `want`; returns how
     many pixels still differ (0 when it does). */
  size_t wait_for_picture(Window w, const std::vector<uint32_t> &want) const;
  /* Maps another window over w for a moment, and takes it away. */
  void cover(Window w) const;
  /* What a window manager sends when the user closes the window. */
  void request_close(Window w) const;
  /* Runs xdotool on this display, e.g. "keydown space". */
  bool xdotool(const std::string &args) const;

private:
  std::string display_name;
  int server_pid = -1;
  Display *dpy = nullptr;
};

#endif
