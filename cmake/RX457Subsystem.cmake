# rx457_library_options(<target>): compile options every object of libRX457.so needs, whoever builds it.
function(rx457_library_options target)
  # GNU unique symbols would pin the library in memory after dlclose, and a host (or a test) that
  # reloads it must get a fresh session.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-gnu-unique>)
  endif()
endfunction()

# rx457_subsystem(<name> [DEPS <targets>...])
# Builds every .cpp of the calling folder into the static library rx457_<name>; a folder with no
# sources yet becomes an interface library so dependants still link.
function(rx457_subsystem name)
  cmake_parse_arguments(S "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(rx457_${name} STATIC ${sources})
    rx457_library_options(rx457_${name})
    target_include_directories(rx457_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(rx457_${name} PUBLIC ${S_DEPS} Threads::Threads)
  else()
    add_library(rx457_${name} INTERFACE)
    target_include_directories(rx457_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(rx457_${name} INTERFACE ${S_DEPS} Threads::Threads)
  endif()
endfunction()

# rx457_optional_subdirs(<dir>...): add each listed sub-folder that has a CMakeLists.txt.
function(rx457_optional_subdirs)
  foreach(d IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()
