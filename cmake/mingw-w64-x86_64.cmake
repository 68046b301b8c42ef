# A 64-bit build of the same sources (package g++-mingw-w64-x86-64-win32),
# made only to run the Windows tests under wine64 on hosts whose kernel runs
# no 32-bit programs. It is never shipped.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(MINGW_PROCESSOR AMD64)
set(WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
