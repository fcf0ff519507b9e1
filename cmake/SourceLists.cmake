# The source lists are written out, so that a listed file that is missing stops
# the configure. dorvane_require_listed keeps the other direction: a file in a
# folder that no list names stops it too, instead of being left out unseen.
#
# dorvane_require_listed(PATTERN FILE...): every file matching PATTERN (relative
# to the current source folder) must be among the FILEs.
function(dorvane_require_listed pattern)
  file(GLOB found RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  foreach(file ${found})
    if(NOT file IN_LIST ARGN)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${file} is in no source list: "
                          "add it to ${CMAKE_CURRENT_LIST_FILE}")
    endif()
  endforeach()
endfunction()
