# Cross build for 64-bit Windows. Nothing built with it ships: the Wine
# tests build the Windows programs with it on a machine whose kernel runs
# no 32-bit programs, so that Wine's 64-bit loader can run them
# (wine_lab/winelab.py, runnable_build).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
