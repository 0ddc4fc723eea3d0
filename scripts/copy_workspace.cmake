# Copies SRC (the bundled workspace) into DST without overwriting files that
# already exist there, then copies the pages' front-end libraries from
# WEB/node_modules into DST/template/vendor when they have been installed.
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*)
foreach(f ${files})
  if(NOT EXISTS ${DST}/${f})
    get_filename_component(dir ${DST}/${f} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(COPY ${SRC}/${f} DESTINATION ${dir})
  endif()
endforeach()
if(EXISTS ${WEB}/vendor.cmake)
  include(${WEB}/vendor.cmake)
endif()
