#ifndef FLUMO_TEST_SWAY_H
#define FLUMO_TEST_SWAY_H

#include <sys/types.h>

#include <map>

#include "support/desktop.h"

/* A headless Wayland compositor of the test's own (sway, drawing in
   memory), with keys from virtual keyboards (wtype) and pictures taken
   by grim. Windows float at their own size. */
class Sway : public Desktop
{
public:
  Sway();  /* starts sway, as an unprivileged user when run as root */
  ~Sway(); /* stops it, and whatever keys it holds */
  bool ok() const override { return !ipc.empty(); }
  std::vector<Env> session() const override;
  unsigned long find_window(const std::string &title,
                            int timeout_ms) const override;
  bool focus(unsigned long w) const override;
  std::string title(unsigned long w) const override;
  void size(unsigned long w, int *width, int *height) const override;
  std::vector<uint32_t> screenshot(unsigned long w) const override;
  bool key(const std::string &action, const std::string &name) override;
  void request_close(unsigned long w) const override;
  void go_away() override;

private:
  std::string runtime; /* its XDG_RUNTIME_DIR, where its sockets are */
  std::string ipc;     /* the socket swaymsg talks to */
  pid_t server = -1;
  pid_t keyboard = -1; /* a virtual keyboard kept present throughout */
  std::map<std::string, pid_t> held; /* keys down, each in a wtype of its own */

  /* swaymsg's answer; ok false if it failed. */
  std::string message(const std::string &args, bool *ok = nullptr) const;
  /* x, y, width, height and title of window w, or empty. */
  std::string geometry(unsigned long w) const;
  pid_t run(const std::vector<std::string> &argv) const;
};

#endif
