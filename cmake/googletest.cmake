# GoogleTest for the test programs (included by tests/CMakeLists.txt): TORVANE_GTEST_LIBS to link,
# and TORVANE_DISCOVERY_MODE for gtest_discover_tests.
if(CMAKE_CROSSCOMPILING)
  # No Windows build of GoogleTest ships with Debian: build it from its source package
  # (package googletest) with the cross compiler, statically like everything else.
  set(TORVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  if(NOT EXISTS ${TORVANE_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${TORVANE_GTEST_SOURCE_DIR} (apt-get install googletest)")
  endif()
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Third-party code: built without our warnings-as-errors flags.
  get_directory_property(TORVANE_SAVED_OPTIONS COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${TORVANE_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${TORVANE_SAVED_OPTIONS}")
  set(TORVANE_GTEST_LIBS GTest::gmock GTest::gtest_main)
  # Discover the tests when CTest starts rather than after each link, so building needs no Wine.
  set(TORVANE_DISCOVERY_MODE PRE_TEST)
else()
  find_package(GTest REQUIRED)
  set(TORVANE_GTEST_LIBS GTest::gmock GTest::gtest_main)
  set(TORVANE_DISCOVERY_MODE POST_BUILD)
endif()
