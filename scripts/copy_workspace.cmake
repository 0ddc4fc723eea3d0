# Copies SRC (the bundled workspace) into DST, then copies the pages'
# front-end libraries from WEB/node_modules into DST/template/vendor.
#
# A file missing from DST is copied. A file already in DST is replaced when
# its source is newer and differs (the source was edited or checked out
# since the copy); a file edited in DST after the copy is newer than its
# source and is kept. Copies keep the source's time stamp, so an unchanged
# source is never copied twice.
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(f ${files})
  set(from ${SRC}/${f})
  set(to ${DST}/${f})
  if(EXISTS ${to})
    if(NOT ${from} IS_NEWER_THAN ${to})
      continue()
    endif()
    file(SHA256 ${from} from_hash)
    file(SHA256 ${to} to_hash)
    if(from_hash STREQUAL to_hash)
      continue()
    endif()
    message(STATUS "Updating ${to}")
  endif()
  get_filename_component(dir ${to} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${from} DESTINATION ${dir})
endforeach()
if(EXISTS ${WEB}/vendor.cmake)
  include(${WEB}/vendor.cmake)
endif()
