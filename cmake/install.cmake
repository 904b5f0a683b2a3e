# Installation: the shared library under its versioned soname, the header, the
# tools, the man pages, a pkg-config file and a CMake package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(icf2html PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
# The tools find the library beside them, wherever the prefix is: installed in
# ../lib, in the build tree one folder up. One run path serves both, so nothing
# is rewritten at install time: the space reserved for that rewrite ends the
# build tree's run path with an empty entry, which the loader reads as the
# current directory.
set_target_properties(icf2html_cli icf_identify PROPERTIES BUILD_WITH_INSTALL_RPATH ON
                      INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}:$ORIGIN/..")

install(TARGETS icf2html EXPORT icf2htmlTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/icf2html.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS icf2html_cli icf_identify icfasm icfdump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
file(GLOB ICF_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
install(FILES ${ICF_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(EXPORT icf2htmlTargets NAMESPACE icf2html:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/icf2html)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/icf2htmlConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/icf2htmlConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/icf2html)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/icf2htmlConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/icf2htmlConfig.cmake ${CMAKE_BINARY_DIR}/icf2htmlConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/icf2html)

# The pkg-config file finds the prefix from its own place, so the installed tree
# can move.
file(RELATIVE_PATH ICF_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/icf2html.pc.in ${CMAKE_BINARY_DIR}/icf2html.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/icf2html.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
