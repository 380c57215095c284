# 32-bit Windows: the deliverable tarn.exe for every 32-bit Windows.
set(TARN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
