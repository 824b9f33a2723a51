# What `cmake --install` puts under the prefix, and the Debian package built from it by `cpack -G DEB`:
#   lib/libRX457.so.1.0.0 (+ .so.1, .so)      include/RX457.h
#   lib/pkgconfig/rx457.pc                     lib/cmake/RX457/ (find_package(RX457) -> RX457::RX457)
#   bin/rx457-preview, bin/rx457-emulator      share/man/man1/rx457-*.1
#   share/doc/librx457/ (guide, references, licences, examples)   share/librx457/python (pip install)
include(CMakePackageConfigHelpers)

set(RX457_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/RX457)
set(RX457_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/librx457)

install(TARGETS RX457 EXPORT RX457Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(EXPORT RX457Targets NAMESPACE RX457:: DESTINATION ${RX457_CMAKE_DIR} COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/RX457Config.cmake.in
  ${PROJECT_BINARY_DIR}/RX457Config.cmake INSTALL_DESTINATION ${RX457_CMAKE_DIR})
# A program built against 1.x runs with any later 1.x: the soname changes with the major version.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/RX457ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/RX457Config.cmake ${PROJECT_BINARY_DIR}/RX457ConfigVersion.cmake
  DESTINATION ${RX457_CMAKE_DIR} COMPONENT Development)

# The .pc file finds its prefix from where it lies, so the installed tree (or the package's files
# unpacked elsewhere) can be moved.
file(RELATIVE_PATH RX457_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" RX457_PC_TO_PREFIX "${RX457_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/rx457.pc.in ${PROJECT_BINARY_DIR}/rx457.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/rx457.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

if(RX457_BUILD_TOOLS)
  install(TARGETS rx457-preview rx457-emulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/preview/rx457-preview.1 ${PROJECT_SOURCE_DIR}/tools/emulator/rx457-emulator.1
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  ${PROJECT_SOURCE_DIR}/src/printer/fonts/LICENSE-fonts.txt
  DESTINATION ${RX457_DOC_DIR} COMPONENT Runtime)
# The documentation's index would overwrite the project's README: it goes in as indice.md.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${RX457_DOC_DIR} COMPONENT Runtime
  FILES_MATCHING PATTERN "*.md" PATTERN "README.md" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/docs/README.md DESTINATION ${RX457_DOC_DIR} RENAME indice.md COMPONENT Runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples DESTINATION ${RX457_DOC_DIR} COMPONENT Development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/ DESTINATION ${CMAKE_INSTALL_DATADIR}/librx457/python COMPONENT Development
  PATTERN "__pycache__" EXCLUDE PATTERN "*.egg-info" EXCLUDE PATTERN "build" EXCLUDE PATTERN "CMakeLists.txt" EXCLUDE)

# ---- Debian package: cpack -G DEB (from the build folder) ----
set(CPACK_PACKAGE_NAME librx457)
set(CPACK_PACKAGE_VENDOR "The libRX457 developers")
set(CPACK_PACKAGE_CONTACT "The libRX457 developers <librx457@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "thermal receipt printer library (ESC/POS, fiscal receipts)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "libRX457 drives a thermal receipt printer from a point-of-sale application: text with print\nmarkup, barcodes, QR codes, PDF417, images, PDF pages and the Brazilian fiscal receipts (CF-e SAT\nand DANFE NFC-e) printed from their XML. Includes the header, pkg-config and CMake files, the\nrx457-preview and rx457-emulator tools and the documentation (in Portuguese).")
# The C and C++ runtimes and libqrencode come from the binaries themselves; libqrencode is named by hand
# only where dpkg-shlibdeps is missing (it would otherwise appear twice).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
find_program(RX457_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT RX457_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqrencode4")
endif()
# PDF pages are converted by Ghostscript, run as an external program when a PDF is printed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ghostscript")
# A shlibs file, and ldconfig run after install and removal (CPack writes postinst and postrm for it).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_GENERATOR DEB)
include(CPack)
