#include "support/sway.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

/* sway will not run as root; the tests may. It then runs as nobody, in a
   runtime folder that is nobody's, which root's clients still reach. */
static const uid_t unprivileged = 65534;

static const char config[] = "xwayland disable\n"
                             "default_border none\n"
                             "default_floating_border none\n"
                             "for_window [title=\".*\"] floating enable\n";

Sway::Sway()
{
  char name[] = "/tmp/flumo-sway-XXXXXX";
  runtime = mkdtemp(name);
  write_file(runtime + "/config", config);
  chmod((runtime + "/config").c_str(), 0644);
  bool root = getuid() == 0;
  if (root && chown(runtime.c_str(), unprivileged, unprivileged) != 0)
    return;
  pid_t parent = getpid();
  server = fork();
  if (server == 0) {
    if ((root && (setgid(unprivileged) != 0 || setuid(unprivileged) != 0)) ||
        prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
      _exit(126); /* the death signal is set after the change of user,
                     which clears it */
    if (!freopen((runtime + "/sway.log").c_str(), "w", stderr))
      _exit(126);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("HOME", runtime.c_str(), 1);
    setenv("WLR_BACKENDS", "headless", 1);
    setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
    setenv("WLR_RENDERER", "pixman", 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("DISPLAY");
    execlp("sway", "sway", "-c", (runtime + "/config").c_str(),
           (char *)nullptr);
    _exit(127);
  }
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until) {
    std::string socket =
        shell("ls " + runtime + "/sway-ipc.*.sock 2>/dev/null");
    bool answers = false;
    if (!socket.empty() && access((runtime + "/wayland-1").c_str(), F_OK) == 0)
      shell("swaymsg -s " + socket.substr(0, socket.find('\n')) +
                " -t get_version >/dev/null 2>&1",
            &answers);
    if (answers) {
      ipc = socket.substr(0, socket.find('\n'));
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  /* keys reach clients only while some virtual keyboard stays */
  if (ok())
    keyboard = run({"/usr/bin/wtype", "-s", "3600000", "a"});
}

Sway::~Sway()
{
  for (auto &key : held)
    kill(key.second, SIGKILL);
  for (pid_t pid : {keyboard, server})
    if (pid > 0) {
      kill(pid, SIGTERM);
      wait_for(pid, 5000);
    }
  for (auto &key : held)
    waitpid(key.second, nullptr, 0);
  shell("rm -rf '" + runtime + "'");
}

/* The compositor draws in memory, with no graphics card: Mesa, which SDL
   may load for its window, is told so, rather than finding out with
   warnings on the program's standard error. */
std::vector<Env> Sway::session() const
{
  return {{"XDG_RUNTIME_DIR", runtime},
          {"WAYLAND_DISPLAY", "wayland-1"},
          {"DISPLAY", ""},
          {"LIBGL_ALWAYS_SOFTWARE", "1"}};
}

pid_t Sway::run(const std::vector<std::string> &argv) const
{
  return start(argv, runtime, session(), runtime + "/tools.log");
}

std::string Sway::message(const std::string &args, bool *ok) const
{
  return shell("swaymsg -s " + ipc + " " + args + " 2>/dev/null", ok);
}

std::string Sway::geometry(unsigned long w) const
{
  return message(
      "-t get_tree | jq -r '.. | select(.id? == " + std::to_string(w) +
      ") | \"\\(.rect.x + .window_rect.x) "
      "\\(.rect.y + .window_rect.y) \\(.window_rect.width) "
      "\\(.window_rect.height) \\(.name)\"'");
}

unsigned long Sway::find_window(const std::string &title, int timeout_ms) const
{
  auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    std::string id =
        message("-t get_tree | jq -r '.. | select(.pid? and .name? == \"" +
                title + "\" and .visible) | .id'");
    if (!id.empty())
      return std::stoul(id);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  return 0;
}

bool Sway::focus(unsigned long w) const
{
  bool ok;
  message("'[con_id=" + std::to_string(w) + "] focus'", &ok);
  return ok;
}

std::string Sway::title(unsigned long w) const
{
  std::istringstream words(geometry(w));
  std::string skip, title;
  words >> skip >> skip >> skip >> skip >> std::ws;
  std::getline(words, title);
  return title;
}

void Sway::size(unsigned long w, int *width, int *height) const
{
  int x = 0, y = 0;
  *width = *height = 0;
  std::istringstream(geometry(w)) >> x >> y >> *width >> *height;
}

std::vector<uint32_t> Sway::screenshot(unsigned long w) const
{
  int x = 0, y = 0, width = 0, height = 0;
  std::istringstream(geometry(w)) >> x >> y >> width >> height;
  std::string where = std::to_string(x) + "," + std::to_string(y) + " " +
                      std::to_string(width) + "x" + std::to_string(height);
  std::string ppm = shell("XDG_RUNTIME_DIR=" + runtime +
                          " WAYLAND_DISPLAY=wayland-1 grim -t ppm -g '" +
                          where + "' - 2>/dev/null");
  std::vector<uint32_t> pixels;
  size_t header = 0; /* "P6\nW H\n255\n" */
  for (int lines = 0; lines < 3 && header != std::string::npos; lines++)
    header = ppm.find('\n', header + (lines > 0));
  if (header == std::string::npos ||
      ppm.size() != header + 1 + size_t(width) * height * 3)
    return pixels;
  for (size_t i = header + 1; i + 2 < ppm.size(); i += 3)
    pixels.push_back(uint32_t(uint8_t(ppm[i])) << 16 |
                     uint32_t(uint8_t(ppm[i + 1])) << 8 | uint8_t(ppm[i + 2]));
  return pixels;
}

/* A key held down is a wtype of its own that presses it and waits: the
   compositor releases a virtual keyboard's keys when it goes. */
bool Sway::key(const std::string &action, const std::string &name)
{
  if (action == "keydown" && !held.count(name)) {
    held[name] = run({"/usr/bin/wtype", "-P", name, "-s", "3600000"});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return held[name] > 0;
  }
  if (action != "keyup")
    return action == "keydown";
  int status = wait_for(run({"/usr/bin/wtype", "-p", name}), 5000);
  if (held.count(name)) {
    kill(held[name], SIGTERM);
    wait_for(held[name], 5000);
    held.erase(name);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Sway::request_close(unsigned long w) const
{
  message("'[con_id=" + std::to_string(w) + "] kill'");
}

void Sway::go_away()
{
  if (server > 0) {
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
  }
  server = -1;
  ipc.clear();
}
