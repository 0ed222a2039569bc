#ifndef FLUMO_FUZZ_AS_PROGRAM_H
#define FLUMO_FUZZ_AS_PROGRAM_H

#include <functional>

/* The program's own code, run many times in one process. A call of exit
   ends only the run, and the handlers the run registered with atexit then
   run, as they do when flumo exits; the signal handlers it installed are
   undone, and the alarm that bounds its shutdown is never set, which would
   take the fuzzer's own timer. Returns the status exit was called
   with, or -1 if body returned. */
int run_as_program(const std::function<void()> &body);

/* Makes a folder of the program's own five files, once, and makes it the
   current directory, where the program looks for them. The fuzzer's
   arguments that name files or folders are made absolute first, so that
   they still name the same ones. */
void enter_asset_folder(int *argc, char ***argv);

#endif
