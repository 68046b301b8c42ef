# The product: the 32-bit Windows console program (package
# g++-mingw-w64-i686-win32), tested under the 32-bit Wine loader.
set(MINGW_TRIPLET i686-w64-mingw32)
set(MINGW_PROCESSOR x86)
set(WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
