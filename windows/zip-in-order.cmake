# Run by cpack once it has made the zip. cpack adds files in the order the
# file system lists them and records the packing user's ids; so the same
# files are packed again in name order, with no owners (zip -X), modes
# that do not follow the umask, and the times cpack gave them
# (tools/package-date.cmake) taken in UTC: the same zip from any folder,
# machine or user.
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  set(unpacked ${zip}.files)
  file(REMOVE_RECURSE ${unpacked})
  file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${unpacked})
  file(CHMOD_RECURSE ${unpacked} FILE_PERMISSIONS OWNER_READ OWNER_WRITE
    GROUP_READ WORLD_READ)
  file(GLOB programs ${unpacked}/*/*.exe)
  file(CHMOD ${programs} FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${unpacked} ${unpacked}/*)
  list(SORT files)
  file(REMOVE ${zip})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -q -X -D ${zip} ${files}
    WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE failed)
  file(REMOVE_RECURSE ${unpacked})
  if(failed)
    message(FATAL_ERROR "zip could not pack ${zip} again")
  endif()
endforeach()
