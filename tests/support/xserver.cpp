#include "support/xserver.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "support/process.h"

/* A window that went away under a request is the test's business, not a
   reason for Xlib to end the test. */
static int ignore_error(Display *, XErrorEvent *)
{
  return 0;
}

XServer::XServer()
{
  XSetErrorHandler(ignore_error);
  int fds[2];
  if (pipe(fds) != 0)
    return;
  pid_t parent = getpid();
  server_pid = fork();
  if (server_pid == 0) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
      _exit(126);
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    if (!freopen("/dev/null", "w", stderr))
      _exit(126);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
           "1024x768x24", "-nolisten", "tcp", "-noreset", (char *)nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (number.empty())
    return;
  display_name = ":" + number;
  dpy = XOpenDisplay(display_name.c_str());
  /* A held key repeats once in a second: the classic SDL 1.2 tells an X
     autorepeat from a new press only when both its events have arrived
     together, which a busy machine does not always manage, so each
     repeat is a chance of a false count that is the library's, not the
     program's. One repeat still shows whether a held key counts once. */
  if (dpy)
    XkbSetAutoRepeatRate(dpy, XkbUseCoreKbd, 700, 1000);
}

XServer::~XServer()
{
  if (dpy)
    XCloseDisplay(dpy);
  if (server_pid > 0) {
    kill(server_pid, SIGTERM);
    waitpid(server_pid, nullptr, 0);
  }
}

Window XServer::find_window(const std::string &title, int timeout_ms) const
{
  auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    Window root, parent, *children = nullptr, found = 0;
    unsigned n = 0;
    XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
    for (unsigned i = 0; i < n && !found; i++) {
      XWindowAttributes a;
      if (XGetWindowAttributes(dpy, children[i], &a) &&
          a.map_state == IsViewable &&
          text_property(children[i], "WM_NAME") == title)
        found = children[i];
    }
    if (children)
      XFree(children);
    if (found)
      return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  return 0;
}

std::string XServer::text_property(Window w, const char *property) const
{
  XTextProperty p;
  std::string text;
  if (XGetTextProperty(dpy, w, &p, XInternAtom(dpy, property, False)) &&
      p.value) {
    text.assign((const char *)p.value, p.nitems);
    XFree(p.value);
  }
  return text;
}

bool XServer::has_property(Window w, const char *property) const
{
  Atom type;
  int format;
  unsigned long items, after;
  unsigned char *data = nullptr;
  XGetWindowProperty(dpy, w, XInternAtom(dpy, property, False), 0, 1, False,
                     AnyPropertyType, &type, &format, &items, &after, &data);
  if (data)
    XFree(data);
  return type != None;
}

bool XServer::has_icon_pixmap(Window w) const
{
  XWMHints *hints = XGetWMHints(dpy, w);
  bool has = hints && (hints->flags & IconPixmapHint) && hints->icon_pixmap;
  if (hints)
    XFree(hints);
  return has;
}

void XServer::size(Window w, int *width, int *height) const
{
  XWindowAttributes a;
  XGetWindowAttributes(dpy, w, &a);
  *width = a.width;
  *height = a.height;
}

std::vector<uint32_t> XServer::screenshot(Window w) const
{
  int width, height;
  size(w, &width, &height);
  std::vector<uint32_t> pixels;
  XImage *img = XGetImage(dpy, w, 0, 0, width, height, AllPlanes, ZPixmap);
  if (!img)
    return pixels;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      pixels.push_back(XGetPixel(img, x, y) & 0xffffff);
  XDestroyImage(img);
  return pixels;
}

bool XServer::focus(Window w) const
{
  return xdotool("windowfocus --sync " + std::to_string(w));
}

std::string XServer::title(Window w) const
{
  return text_property(w, "WM_NAME");
}

bool XServer::key(const std::string &action, const std::string &name)
{
  return xdotool(action + " " + name);
}

void XServer::cover(Window w) const
{
  int x, y, width, height;
  Window child;
  size(w, &width, &height);
  XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
  XSetWindowAttributes a = {};
  a.override_redirect = True;
  a.background_pixel = WhitePixel(dpy, DefaultScreen(dpy));
  Window over =
      XCreateWindow(dpy, DefaultRootWindow(dpy), x - 10, y - 10, width + 20,
                    height + 20, 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWOverrideRedirect | CWBackPixel, &a);
  XMapRaised(dpy, over);
  XSync(dpy, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  XDestroyWindow(dpy, over);
  XSync(dpy, False);
}

void XServer::request_close(Window w) const
{
  XEvent e = {};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &e);
  XFlush(dpy);
}

void XServer::go_away()
{
  if (dpy)
    XCloseDisplay(dpy); /* the test's own connection would end the test */
  dpy = nullptr;
  if (server_pid > 0) {
    kill(server_pid, SIGKILL);
    waitpid(server_pid, nullptr, 0);
  }
  server_pid = -1;
}

bool XServer::xdotool(const std::string &args) const
{
  bool ok;
  shell("DISPLAY=" + display_name + " xdotool " + args, &ok);
  return ok;
}
