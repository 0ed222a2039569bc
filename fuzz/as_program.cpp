#include "as_program.h"
#include "tests/support/process.h"

#include <setjmp.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

/* The fuzz targets are linked with --wrap=exit,--wrap=atexit,--wrap=alarm,
   --wrap=sigaction: every call of these lands here, the fuzzer's own and
   the sanitizers' too, and outside a run goes on to the C library's. */
extern "C" {
[[noreturn]] void __real_exit(int status);
int __real_atexit(void (*handler)(void));
unsigned __real_alarm(unsigned seconds);
int __real_sigaction(int signum, const struct sigaction *action,
                     struct sigaction *old);
}

namespace
{

jmp_buf run_end;
bool in_run, in_handlers; /* the run's body, and its exit handlers */
int exit_status;
void (*handlers[8])(void);
int handler_count;

} // namespace

extern "C" [[noreturn]] void __wrap_exit(int status)
{
  if (!in_run)
    __real_exit(status);
  exit_status = status;
  longjmp(run_end, 1);
}

extern "C" int __wrap_atexit(void (*handler)(void))
{
  if (!in_run)
    return __real_atexit(handler);
  if (handler_count == 8)
    return -1;
  handlers[handler_count++] = handler;
  return 0;
}

/* The program's bound on its shutdown, an alarm, would take the timer and
   the signal that the fuzzer's -timeout runs on (setitimer(ITIMER_REAL)
   and SIGALRM): in a run, it is not set. A run that hangs is the fuzzer's
   to report. */
extern "C" unsigned __wrap_alarm(unsigned seconds)
{
  return in_run || in_handlers ? 0 : __real_alarm(seconds);
}

extern "C" int __wrap_sigaction(int signum, const struct sigaction *action,
                                struct sigaction *old)
{
  if ((in_run || in_handlers) && signum == SIGALRM && action)
    return 0;
  return __real_sigaction(signum, action, old);
}

int run_as_program(const std::function<void()> &body)
{
  struct sigaction interrupt, terminate; /* the fuzzer's */
  sigaction(SIGINT, nullptr, &interrupt);
  sigaction(SIGTERM, nullptr, &terminate);
  exit_status = -1;
  in_run = true;
  if (setjmp(run_end) == 0)
    body();
  in_run = false;
  in_handlers = true;
  while (handler_count > 0)
    handlers[--handler_count]();
  in_handlers = false;
  sigaction(SIGINT, &interrupt, nullptr);
  sigaction(SIGTERM, &terminate, nullptr);
  return exit_status;
}

void enter_asset_folder(int *argc, char ***argv)
{
  static std::vector<std::string> absolute;
  absolute.reserve(size_t(*argc)); /* the fuzzer keeps pointers into it */
  char *here = getcwd(nullptr, 0);
  for (int i = 1; i < *argc; i++) {
    std::string arg = (*argv)[i];
    size_t path = arg.rfind("-artifact_prefix=", 0) == 0 ? 17
                  : arg[0] == '-'                        ? std::string::npos
                                                         : 0;
    if (path == std::string::npos || arg[path] == '/')
      continue;
    absolute.push_back(arg.insert(path, std::string(here) + "/"));
    (*argv)[i] = &absolute.back()[0];
  }
  free(here);

  /* removed at the fuzzer's own exit; after a crash it stays, in TMPDIR */
  static AssetDir folder(all_assets);
  if (chdir(folder.path.c_str()) != 0) {
    perror("flumo fuzz: asset folder");
    abort();
  }
}
