# What the Windows program is made of beyond the program's code, included
# before the code is linked. SDLmain supplies WinMain and calls main; the
# C and C++ runtimes are linked in: the exe needs no DLL but SDL.dll and
# Windows' own.
find_library(FLUMO_SDLMAIN SDLmain HINTS ${SDL_LIBRARY_DIRS} REQUIRED)
target_link_libraries(flumo PRIVATE mingw32 ${FLUMO_SDLMAIN})
target_link_options(flumo PRIVATE -mwindows -static-libgcc -static-libstdc++)
# Explorer's icon, from the generator's flumo.ico, and the version
# information the file's properties show.
enable_language(RC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/flumo.rc.in ${CMAKE_BINARY_DIR}/flumo.rc @ONLY)
target_sources(flumo PRIVATE ${CMAKE_BINARY_DIR}/flumo.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/flumo.rc
  PROPERTIES OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/flumo.ico)
