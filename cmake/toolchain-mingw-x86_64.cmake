# Cross-build for 64-bit Windows: the same sources tested under 64-bit Wine on hosts that
# cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
