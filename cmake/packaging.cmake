# What `cmake --install` puts where, and the packages CPack makes of it:
#   Linux:   bin/torvane-bridge, share/doc/torvane-bridge/ (README.md, docs/, samples/, the
#            trace plot script in tools/) and the udev rule in lib/udev/rules.d/; packaged as a
#            .deb (cpack -G DEB).
#   Windows: one folder holding torvane-bridge.exe, README.txt (CRLF, opening with a Windows
#            quick start), docs/, samples/ and tools/; packaged as a .zip (cpack -G ZIP).
# Each package gets a .sha256 file beside it. docs/ and samples/ are installed when they exist at
# configure time.
if(WIN32)
  # A Windows user unzips one folder and finds the programs and the documentation side by side.
  set(CMAKE_INSTALL_BINDIR . CACHE PATH "Where the programs are installed")
  set(CMAKE_INSTALL_DOCDIR . CACHE PATH "Where the documentation is installed")
endif()
include(GNUInstallDirs)

install(TARGETS torvane-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  # Notepad and every Windows editor read a .txt with CRLF line ends. A Windows user reads first
  # what applies to them: the README itself begins with the Linux build machine's commands.
  file(READ ${PROJECT_SOURCE_DIR}/packaging/windows/quick-start.txt TORVANE_QUICK_START)
  file(READ ${PROJECT_SOURCE_DIR}/README.md TORVANE_README)
  string(PREPEND TORVANE_README "${TORVANE_QUICK_START}")
  string(REPLACE "\r\n" "\n" TORVANE_README "${TORVANE_README}")
  string(REPLACE "\n" "\r\n" TORVANE_README "${TORVANE_README}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${TORVANE_README}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/packaging/windows/quick-start.txt)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES packaging/linux/60-torvane-bridge.rules DESTINATION lib/udev/rules.d)
endif()
if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/docs)
  install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/samples/lap.jsonl)
  install(FILES samples/lap.jsonl DESTINATION ${CMAKE_INSTALL_DOCDIR}/samples)
endif()
# cpp-httplib, built into the program for the live page, asks for its notice to come along.
install(FILES third_party/cpp-httplib/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR}
  RENAME cpp-httplib-LICENSE.txt)
# The script that draws a trace, beside the sample lap that makes one.
install(PROGRAMS tools/plot_trace.py DESTINATION ${CMAKE_INSTALL_DOCDIR}/tools)

set(TORVANE_PACKAGE_MAINTAINER "torvane-bridge maintainers <maintainers@torvane-bridge.invalid>"
  CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME torvane-bridge)
set(CPACK_PACKAGE_VENDOR torvane-bridge)
set(CPACK_PACKAGE_CONTACT "${TORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "plays a driving application's telemetry as force feedback on a steering wheel")
# Lines of at most 79 characters, as Debian's control files want them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "torvane-bridge receives telemetry as JSON datagrams on UDP 127.0.0.1:8766 and"
  "plays it as five force-feedback effects on a wheel, with a gain of at most 0.35."
  "Every 16 ms it sends the wheel's axes and buttons as JSON datagrams to UDP"
  "127.0.0.1:8767. It also has a diagnose mode and a six-second test mode."
  "A udev rule gives the user logged in at the machine access to the event nodes"
  "of joysticks, wheels and pedals.")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-windows-x64)
  # The archive unpacks into one folder of that name.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TORVANE_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The C and C++ runtimes the binary links (libc6, libstdc++6, libgcc-s1), with the versions
  # its symbols need, as dpkg-shlibdeps (package dpkg-dev) reads them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Only tools/plot_trace.py, in the documentation, needs them.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, python3-matplotlib")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/linux/postinst ${PROJECT_SOURCE_DIR}/packaging/linux/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
