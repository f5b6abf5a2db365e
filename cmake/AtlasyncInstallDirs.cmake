# The install tree: GNU folders under the prefix, the phone simulator's libraries
# in a private folder lib/<multiarch>/atlasync whatever the prefix is, so that
# the programs find them through a path relative to their own folder.

# A plain "lib" is GNUInstallDirs' own default for prefixes other than /usr,
# possibly cached by an earlier configure of the same build folder.
if(CMAKE_LIBRARY_ARCHITECTURE AND (NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR}
                                   OR "$CACHE{CMAKE_INSTALL_LIBDIR}" STREQUAL "lib"))
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
      CACHE PATH "Object code libraries (LIBDIR)" FORCE)
endif()
include(GNUInstallDirs)

set(ATLASYNC_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/atlasync)
set(ATLASYNC_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/atlasync)

# $ORIGIN-relative, so the tree can be moved or unpacked under any prefix.
file(RELATIVE_PATH _atlasync_bin_to_libs /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${ATLASYNC_INSTALL_PRIVATE_LIBDIR})
set(ATLASYNC_INSTALL_RPATH "$ORIGIN/${_atlasync_bin_to_libs}")
unset(_atlasync_bin_to_libs)
