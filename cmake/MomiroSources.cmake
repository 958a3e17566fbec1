# Collects the .cpp files of the given top-level folders. The folders are the
# architecture: a file that lands in engine/ belongs to the engine library
# without anybody editing a list, and CONFIGURE_DEPENDS re-globs on every build
# so a new file is never silently left out.
function(momiro_collect_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND result ${found})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# A static library of the collected sources with the project root as its
# include directory. A layer that has no source file yet is an interface
# library, so the targets exist from the first commit on.
function(momiro_library name sources)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()
