# cmake -P, after emscripten's packer: the packer of emscripten 3.1.6 names
# the packed files in their loader by a random id, which tells a page's
# cache that they changed; named by their contents instead, the site is
# the same bytes at every build. Later packers write no id.
file(READ ${loader} js)
if(NOT js MATCHES "package_uuid")
  return()
endif()
set(field "\"package_uuid\": \"[^\"]*\"")
if(NOT js MATCHES "${field}")
  message(FATAL_ERROR "${loader} names its files in a way this does not know")
endif()
file(SHA256 ${data} id)
string(REGEX REPLACE "${field}" "\"package_uuid\": \"sha256-${id}\"" js "${js}")
file(WRITE ${loader} "${js}")
