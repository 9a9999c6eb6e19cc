# Cross build of the Windows programs with mingw-w64 (i686, posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(DLLTOOL_MACHINE i386)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# A .def names exports without their @N; the linker matches them to the
# __stdcall functions by itself, and need not say so for each.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--enable-stdcall-fixup")
