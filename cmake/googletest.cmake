# GoogleTest for the tests: Debian's prebuilt library on Linux; for the
# Windows build the same sources (/usr/src/googletest) compiled with the
# cross compiler, since a Linux library cannot link into a Windows program.
if(CMAKE_CROSSCOMPILING)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # The win32 thread model has no pthreads; GoogleTest uses Win32 locks.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # gcc 12's win32 thread model lacks std::mutex; GoogleTest's hook header,
  # found before its own, supplies the one class that needs it.
  target_include_directories(gtest BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/tests/windows/gtest-custom)
  # Our warnings-as-errors are for our code, not for GoogleTest's.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
  # GoogleTest itself defines GTest::gtest and GTest::gtest_main.
else()
  find_package(GTest REQUIRED)
endif()
