# cmake -P: the page (page) written to out with the size of the picture
# its window opens at, the resting button's (picture), so that the canvas
# holds that room from the start and nothing on the page moves when the
# program opens its window; with the program's caption and ceiling; and
# with page.js (script) in it, which the page would otherwise have to ask
# for before it could ask for the program.
file(READ ${picture} header LIMIT 26 HEX)
# a bitmap's width and height, little-endian, from its 19th and 23rd byte
function(le32 at out)
  set(hex "")
  foreach(i 3 2 1 0)
    math(EXPR from "2 * (${at} + ${i})")
    string(SUBSTRING ${header} ${from} 2 byte)
    string(APPEND hex ${byte})
  endforeach()
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()
le32(18 width)
le32(22 height)
file(READ ${script} page_script)
configure_file(${page} ${out} @ONLY)
