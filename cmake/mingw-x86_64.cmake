# The same Windows code built for 64-bit Windows with MinGW-w64. The tests
# under Wine use it on machines that cannot run 32-bit programs, where only
# Wine's 64-bit loader starts; what we ship stays the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(MINGW_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
