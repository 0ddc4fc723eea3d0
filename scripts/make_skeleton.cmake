# Makes DST the blog that `tarn init` copies: the bundled workspace SRC
# without its demo posts (only the posts named in POSTS, ";"-separated),
# the pages' libraries from WEB/node_modules in template/vendor, and a
# .gitignore. DST is kept an exact copy: files changed in SRC are copied
# again, files gone from SRC are removed. Run with cmake -P.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SRC} ${SRC}/*)
set(wanted)
foreach(f ${files})
  if(f MATCHES "^_posts/" OR f MATCHES "^public/" OR f MATCHES "^\\.tarn/"
     OR f STREQUAL "template/index.html")
    continue()
  endif()
  list(APPEND wanted ${f})
endforeach()
foreach(post ${POSTS})
  if(NOT EXISTS "${SRC}/_posts/${post}")
    message(FATAL_ERROR "the welcome post ${SRC}/_posts/${post} is missing")
  endif()
  list(APPEND wanted "_posts/${post}")
endforeach()

foreach(f ${wanted})
  get_filename_component(dir "${DST}/${f}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(COPY_FILE "${SRC}/${f}" "${DST}/${f}" ONLY_IF_DIFFERENT)
endforeach()

set(gitignore "# Made again by tarn: the site (deployed from public/, a git repository of its\n# own), the build cache and the rendered manager page.\n/public/\n/.tarn/\n/template/index.html\n")
if(EXISTS "${DST}/.gitignore")
  file(READ "${DST}/.gitignore" old)
endif()
if(NOT old STREQUAL gitignore)
  file(WRITE "${DST}/.gitignore" "${gitignore}")
endif()
list(APPEND wanted .gitignore)

# Files that are no longer part of the blog; template/vendor is the
# libraries' own (vendor.cmake keeps it).
file(GLOB_RECURSE present LIST_DIRECTORIES false RELATIVE ${DST} ${DST}/*)
foreach(f ${present})
  if(NOT f MATCHES "^template/vendor/" AND NOT f IN_LIST wanted)
    file(REMOVE "${DST}/${f}")
  endif()
endforeach()

include(${WEB}/vendor.cmake)
if(NOT EXISTS "${DST}/template/vendor")
  message(FATAL_ERROR "the blog for tarn init needs the pages' libraries: run npm ci in web/")
endif()
