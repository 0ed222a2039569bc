# cmake -P, once the rest of the site is built: writes its service worker
# (sw.js.in) with the files it keeps (kept, comma-separated, with "./" for
# the page itself) and, for its version, a hash of their contents.
string(REPLACE "," ";" kept "${kept}")
set(all "")
set(files "'./'")
foreach(file ${kept})
  file(SHA256 ${site}/${file} hash)
  string(APPEND all "${hash} ${file}\n")
  string(APPEND files ", '${file}'")
endforeach()
string(SHA256 version "${all}")
string(SUBSTRING ${version} 0 16 version)
configure_file(${template} ${site}/sw.js @ONLY)
