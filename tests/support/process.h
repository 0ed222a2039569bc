#ifndef FLUMO_TEST_PROCESS_H
#define FLUMO_TEST_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

/* Runs the built program, or a tool, as its own process. */

struct Env {
  std::string name, value; /* an empty value unsets the variable */
};

/* A fresh folder in TMPDIR (or /tmp) holding copies of the named files
   from the asset folder, removed again when the value goes. */
struct AssetDir {
  std::string path;
  explicit AssetDir(const std::vector<std::string> &files);
  ~AssetDir();
  std::string file(const std::string &name) const { return path + "/" + name; }
  AssetDir(const AssetDir &) = delete;
  AssetDir &operator=(const AssetDir &) = delete;
};

/* The five files the program reads, by the names its user is told (the
   manual page, docs/files.md): the tests' own record of them. */
extern const std::string push_bmp, normal_bmp, digits_bmp, icon_bmp, clip_wav;
extern const std::vector<std::string> all_assets;
/* The statuses a start-up failure ends with, as a shell sees them: SDL,
   the window or a bitmap; the clip. */
const int failed_status = 1, clip_failed_status = 255;
/* The one a file of the program's, named, ends it with. */
int failure_status_for(const std::string &file);

/* The command that starts the program on the files in dir: the build's
   own; where FLUMO_ROOT names a root with the Debian package installed
   (tools/test-packages.sh), the program installed there, run in it; or,
   where FLUMO_EXE names the Windows build, that flumo.exe under Wine,
   copied with SDL.dll into dir as its zip unpacks. */
std::vector<std::string> program_command(const AssetDir &dir);
const char *installed_root(void);
bool under_wine(void);

/* What the program reported: its standard error, and under Wine the
   stderr.txt that SDL's start-up code writes it to beside flumo.exe. */
std::string program_errors(const AssetDir &dir);

/* Starts argv[0] in folder cwd, standard error into err_path, in a
   desktop session of its own (XDG_RUNTIME_DIR the folder "runtime" beside
   err_path, no WAYLAND_DISPLAY) unless env says otherwise, with
   SIGINT and SIGTERM at their defaults or, if named, one of them ignored
   as a script's background job has it. */
pid_t start(const std::vector<std::string> &argv, const std::string &cwd,
            const std::vector<Env> &env, const std::string &err_path,
            int ignored_signal = 0);

/* The wait status, or -1 if the process is still running after timeout_ms
   (it is then killed and reaped). */
int wait_for(pid_t pid, int timeout_ms);

/* Waits until file holds text; false after timeout_ms. */
bool wait_for_text(const std::string &file, const std::string &text,
                   int timeout_ms);

std::string read_file(const std::string &path);

/* What the program wrote to standard error, without the warnings that a
   checked build's runtime adds (AddressSanitizer's, when a huge malloc
   fails as it should). */
std::string program_stderr(const std::string &err);
void write_file(const std::string &path, const std::string &data);

/* A shell command's standard output; ok is false if it failed. */
std::string shell(const std::string &command, bool *ok = nullptr);

#endif
