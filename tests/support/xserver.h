#ifndef FLUMO_TEST_XSERVER_H
#define FLUMO_TEST_XSERVER_H

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/desktop.h"

/* A virtual X server of the test's own, with no window manager, and what
   a person or a window manager would do with a window on it. Keys go
   through xdotool. */
class XServer : public Desktop
{
public:
  XServer();  /* starts Xvfb on a free display */
  ~XServer(); /* stops it */
  bool ok() const override { return dpy != nullptr; }
  const std::string &name() const { return display_name; } /* ":N" */
  Display *display() const { return dpy; }
  std::vector<Env> session() const override { return {{"DISPLAY", name()}}; }

  Window find_window(const std::string &title, int timeout_ms) const override;
  bool focus(Window w) const override;
  std::string title(Window w) const override;
  std::string text_property(Window w, const char *property) const;
  bool has_property(Window w, const char *property) const;
  bool has_icon_pixmap(Window w) const;
  void size(Window w, int *width, int *height) const override;
  std::vector<uint32_t> screenshot(Window w) const override;
  bool key(const std::string &action, const std::string &name) override;
  /* Maps another window over w for a moment, and takes it away. */
  void cover(Window w) const;
  void request_close(Window w) const override;
  void go_away() override;
  /* Runs xdotool on this display, e.g. "keydown space". */
  bool xdotool(const std::string &args) const;

private:
  std::string display_name;
  int server_pid = -1;
  Display *dpy = nullptr;
};

#endif
