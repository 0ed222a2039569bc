# cmake -P, after emscripten's packer: the packed files' loader names them
# by a random id, which tells a page's cache that they changed; named by
# their contents instead, the site is the same bytes at every build.
file(SHA256 ${data} id)
file(READ ${loader} js)
set(field "\"package_uuid\": \"[^\"]*\"")
if(NOT js MATCHES "${field}")
  message(FATAL_ERROR "${loader} names its files in a way this does not know")
endif()
string(REGEX REPLACE "${field}" "\"package_uuid\": \"sha256-${id}\"" js "${js}")
file(WRITE ${loader} "${js}")
