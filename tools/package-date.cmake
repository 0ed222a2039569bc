# Run by cpack before it packs: files in a package are dated by
# SOURCE_DATE_EPOCH, as distributions set it; without it, by the last
# commit's time, so that one commit packs to the same bytes whenever it is
# packed. From a tree with no history (or no git) they bear the time of
# packing.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND git -C "${CPACK_FLUMO_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  endif()
endif()
