#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

const std::string push_bmp = "flumo_push.bmp", normal_bmp = "flumo_normal.bmp",
                  digits_bmp = "flumo_num.bmp", icon_bmp = "flumo_icon.bmp",
                  clip_wav = "flumo.wav";
const std::vector<std::string> all_assets = {push_bmp, normal_bmp, digits_bmp,
                                             icon_bmp, clip_wav};

int failure_status_for(const std::string &file)
{
  return file == clip_wav ? clip_failed_status : failed_status;
}

AssetDir::AssetDir(const std::vector<std::string> &files)
{
  const char *tmp = getenv("TMPDIR");
  std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/flumo-XXXXXX";
  if (!mkdtemp(&name[0])) {
    perror(name.c_str());
    abort();
  }
  path = name;
  for (const std::string &f : files)
    write_file(file(f), read_file(std::string(FLUMO_ASSET_DIR "/") + f));
}

AssetDir::~AssetDir()
{
  std::string cmd = "rm -rf '" + path + "'";
  if (system(cmd.c_str()) != 0)
    fprintf(stderr, "could not remove %s\n", path.c_str());
}

bool under_wine(void)
{
  return getenv("FLUMO_EXE") != nullptr;
}

const char *installed_root(void)
{
  const char *root = getenv("FLUMO_ROOT");
  return root && *root ? root : nullptr;
}

std::vector<std::string> program_command(const AssetDir &dir)
{
  /* the same folder is mounted at the same place in the root */
  if (installed_root())
    return {"/usr/sbin/chroot",
            installed_root(),
            "/bin/sh",
            "-c",
            "cd \"$0\" && exec /usr/lib/games/flumo/flumo",
            dir.path};
  if (!under_wine())
    return {FLUMO_BIN};
  std::string exe = getenv("FLUMO_EXE");
  std::string folder = exe.substr(0, exe.rfind('/'));
  for (const char *f : {"flumo.exe", "SDL.dll"})
    if (access(dir.file(f).c_str(), F_OK) != 0)
      write_file(dir.file(f), read_file(folder + "/" + f));
  /* Wine keeps its server's folder in TMPDIR, which the build's tests
     start and end (tests/CMakeLists.txt): in the build, not in /tmp */
  return {"/usr/bin/env",
          "WINEPREFIX=" + folder + "/wine",
          "TMPDIR=" + folder,
          "WINEDEBUG=-all",
          "WINEDLLOVERRIDES=mscoree,mshtml=",
          "wine",
          dir.file("flumo.exe")};
}

std::string program_errors(const AssetDir &dir)
{
  return read_file(dir.file("stderr")) + read_file(dir.file("stderr.txt"));
}

pid_t start(const std::vector<std::string> &argv, const std::string &cwd,
            const std::vector<Env> &env, const std::string &err_path,
            int ignored_signal)
{
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0)
    return pid;
  /* the child: set up and exec, or report why not and leave; it dies with
     the test, whatever way the test ends */
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
    _exit(126);
  if (chdir(cwd.c_str()) != 0)
    _exit(126);
  int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (err < 0 || dup2(err, 2) < 0)
    _exit(126);
  int null = open("/dev/null", O_RDWR);
  dup2(null, 0);
  dup2(null, 1);
  for (int fd = 3; fd < 1024; fd++)
    close(fd); /* ctest waits for its pipes to close */
  /* A desktop session of the test's own: no Wayland display unless the
     test names one, and a runtime folder of its own beside the standard
     error, so that what a display library says of a session it cannot
     find is not mixed into the program's own lines. */
  std::string runtime = err_path.substr(0, err_path.rfind('/') + 1) + "runtime";
  mkdir(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  for (const Env &e : env)
    if (e.value.empty())
      unsetenv(e.name.c_str());
    else
      setenv(e.name.c_str(), e.value.c_str(), 1);
  std::vector<char *> args;
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  if (ignored_signal)
    signal(ignored_signal, SIG_IGN);
  execv(args[0], args.data());
  _exit(127);
}

int wait_for(pid_t pid, int timeout_ms)
{
  auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status;
  while (std::chrono::steady_clock::now() < until) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

bool wait_for_text(const std::string &file, const std::string &text,
                   int timeout_ms)
{
  auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < until) {
    if (read_file(file).find(text) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string read_file(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void write_file(const std::string &path, const std::string &data)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

std::string shell(const std::string &command, bool *ok)
{
  std::string out;
  FILE *p = popen(command.c_str(), "r");
  if (!p) {
    if (ok)
      *ok = false;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0)
    out.append(buf, n);
  int status = pclose(p);
  if (ok)
    *ok = status == 0;
  return out;
}

/* What the program wrote, without the warnings a checked build's runtime
   adds (AddressSanitizer's when a huge malloc fails, as it should). */
std::string program_stderr(const std::string &err)
{
  std::string kept, line;
  std::istringstream in(err);
  while (std::getline(in, line))
    if (line.rfind("==", 0) != 0 ||
        line.find("==WARNING: ") == std::string::npos)
      kept += line + "\n";
  if (!err.empty() && err.back() != '\n')
    kept.pop_back(); /* as it was: a line without its end */
  return kept;
}
