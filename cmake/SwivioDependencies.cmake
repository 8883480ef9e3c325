# Every external library, found once; targets link the imported names below.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(GIF REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core)

pkg_check_modules(LZMA REQUIRED IMPORTED_TARGET liblzma)
pkg_check_modules(AGG REQUIRED IMPORTED_TARGET libagg)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
    libavformat libavcodec libavutil libswscale libswresample)

find_path(LAME_INCLUDE_DIR lame/lame.h REQUIRED)
find_library(LAME_LIBRARY mp3lame REQUIRED)
add_library(swivio_lame INTERFACE)
target_include_directories(swivio_lame INTERFACE ${LAME_INCLUDE_DIR})
target_link_libraries(swivio_lame INTERFACE ${LAME_LIBRARY})

if(SWIVIO_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
if(SWIVIO_BENCH)
    find_package(benchmark REQUIRED)
    pkg_check_modules(LZ4 REQUIRED IMPORTED_TARGET liblz4)
endif()
