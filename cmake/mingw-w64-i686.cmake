# The product: the 32-bit Windows console program (package
# g++-mingw-w64-i686-win32), tested under the 32-bit Wine loader.
set(MINGW_TRIPLET i686-w64-mingw32)
set(MINGW_PROCESSOR x86)
set(WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Every x86 processor that runs a supported Windows has SSE2, so the program
# uses it, as every x86-64 build does: the byte scans (src/io/byte_scan.h)
# take their sixteen-byte SSE2 path, the one the Linux tests run, instead of
# a fallback that only this program would run. Floating point goes through
# SSE2 as well, with the same rounding as on x86-64 rather than the x87's
# longer intermediate results.
#
# Windows and msvcrt.dll, compiled for a stack aligned to 4 bytes only, call
# back into the program: the console control handler, on a thread of their
# own; the functions registered with atexit, static destructors among them.
# -mstackrealign makes each function that keeps SSE values on its stack align
# the stack itself when it starts, wherever it is called from; the others
# are left as they are. With SSE this target does so already; it is spelt
# out because the program must not depend on that default.
#
# These are compile options rather than CMAKE_CXX_FLAGS_INIT, which only
# seeds a new build folder's cache: existing build folders and a user's own
# CMAKE_CXX_FLAGS keep them too. tests/windows/cli_windows_test.cc and
# scripts/check-windows fail if the program is built without them.
set(KARTCONV_X86_TARGET_OPTIONS -msse2 -mfpmath=sse -mstackrealign)
add_compile_options(${KARTCONV_X86_TARGET_OPTIONS})
