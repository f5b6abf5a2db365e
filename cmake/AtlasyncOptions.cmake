# Compiler settings shared by every target of ours. Third-party code never sees -Werror.

add_library(atlasync_warnings INTERFACE)
target_compile_options(atlasync_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                   -Wnon-virtual-dtor)
if(ATLASYNC_WERROR)
  target_compile_options(atlasync_warnings INTERFACE -Werror)
endif()

if(ATLASYNC_SANITIZE)
  # Line tables are all a sanitizer's report needs, and they build much faster
  # than full debug information (use the debug preset to step through code).
  add_compile_options(-fsanitize=${ATLASYNC_SANITIZE} -fno-omit-frame-pointer -g1)
  add_link_options(-fsanitize=${ATLASYNC_SANITIZE})
  if(ATLASYNC_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
  if(ATLASYNC_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# atlasync_library(name SOURCES ... [DEPS ...]): one static library per layer.
function(atlasync_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE atlasync_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# atlasync_uses_simulator(target [MORE_DEPENDENCIES...])
# The program loads the phone simulator's libraries from the build tree: they
# are built before it and found through its RPATH. An RPATH, not a RUNPATH:
# under AddressSanitizer dlopen runs from the sanitizer's library, and only an
# RPATH of the program is searched then.
function(atlasync_uses_simulator target)
  add_dependencies(${target} DevlinxAPI DVLX_ABAPI ${ARGN})
  set_target_properties(${target} PROPERTIES BUILD_RPATH ${PROJECT_BINARY_DIR}/devlinx)
  target_link_options(${target} PRIVATE -Wl,--disable-new-dtags)
endfunction()

# atlasync_copies_language_modules(target)
# The wizard's language modules beside the program in the build tree, copied
# whenever one changes, not only when the program links.
function(atlasync_copies_language_modules target)
  set(copies)
  get_target_property(folder ${target} BINARY_DIR)
  foreach(module IN LISTS ATLASYNC_LANGUAGE_MODULES)
    add_custom_command(OUTPUT ${folder}/${module}
      COMMAND ${CMAKE_COMMAND} -E copy ${ATLASYNC_LANGUAGES_DIR}/${module} ${folder}/${module}
      DEPENDS ${ATLASYNC_LANGUAGES_DIR}/${module}
      VERBATIM)
    list(APPEND copies ${folder}/${module})
  endforeach()
  add_custom_target(${target}_language_modules DEPENDS ${copies})
  add_dependencies(${target} ${target}_language_modules)
endfunction()

# atlasync_executable(name SOURCES ... [DEPS ...])
function(atlasync_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE atlasync_warnings ${ARG_DEPS})
endfunction()
