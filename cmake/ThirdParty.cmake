# Little CMS 2, GLEW, zlib, libpng, libtiff and GoogleTest as static libraries, built from the
# Debian sources that scripts/setup.sh fetched into .deps/ (nothing third-party is committed).
set(DEPS_DIR ${CMAKE_SOURCE_DIR}/.deps)
foreach(source lcms2/src/cmsxform.c glew/src/glew.c zlib/deflate.c libpng/png.c tiff/libtiff/tif_open.c)
  if(NOT EXISTS ${DEPS_DIR}/${source})
    message(FATAL_ERROR "Third-party sources missing (${source}): run scripts/setup.sh first")
  endif()
endforeach()

file(GLOB LCMS2_SOURCES ${DEPS_DIR}/lcms2/src/*.c)
add_library(lcms2 STATIC ${LCMS2_SOURCES})
target_include_directories(lcms2 SYSTEM PUBLIC ${DEPS_DIR}/lcms2/include)
target_compile_options(lcms2 PRIVATE -w -O2)

add_library(glew STATIC ${DEPS_DIR}/glew/src/glew.c)
target_include_directories(glew SYSTEM PUBLIC ${DEPS_DIR}/glew/include)
target_compile_definitions(glew PUBLIC GLEW_STATIC)
target_compile_options(glew PRIVATE -w -O2)
target_link_libraries(glew PUBLIC opengl32)

# zlib, libpng and libtiff for the reference host's image files (the plug-in links none of them),
# compiled without their configure scripts: the few configuration headers are written here for a
# 64-bit little-endian Windows target.
set(CODECS_CONFIG_DIR ${CMAKE_BINARY_DIR}/codecs-config)

set(ZLIB_DIR ${DEPS_DIR}/zlib)
add_library(zlibstatic STATIC
  ${ZLIB_DIR}/adler32.c ${ZLIB_DIR}/compress.c ${ZLIB_DIR}/crc32.c ${ZLIB_DIR}/deflate.c ${ZLIB_DIR}/infback.c
  ${ZLIB_DIR}/inffast.c ${ZLIB_DIR}/inflate.c ${ZLIB_DIR}/inftrees.c ${ZLIB_DIR}/trees.c ${ZLIB_DIR}/uncompr.c
  ${ZLIB_DIR}/zutil.c)
target_include_directories(zlibstatic SYSTEM PUBLIC ${ZLIB_DIR})
target_compile_options(zlibstatic PRIVATE -w -O2)

# libpng's prebuilt configuration is the full library; the SSE2 row filters speed up reading.
set(PNG_DIR ${DEPS_DIR}/libpng)
configure_file(${PNG_DIR}/scripts/pnglibconf.h.prebuilt ${CODECS_CONFIG_DIR}/png/pnglibconf.h COPYONLY)
add_library(png STATIC
  ${PNG_DIR}/png.c ${PNG_DIR}/pngerror.c ${PNG_DIR}/pngget.c ${PNG_DIR}/pngmem.c ${PNG_DIR}/pngpread.c
  ${PNG_DIR}/pngread.c ${PNG_DIR}/pngrio.c ${PNG_DIR}/pngrtran.c ${PNG_DIR}/pngrutil.c ${PNG_DIR}/pngset.c
  ${PNG_DIR}/pngtrans.c ${PNG_DIR}/pngwio.c ${PNG_DIR}/pngwrite.c ${PNG_DIR}/pngwtran.c ${PNG_DIR}/pngwutil.c
  ${PNG_DIR}/intel/intel_init.c ${PNG_DIR}/intel/filter_sse2_intrinsics.c)
target_include_directories(png SYSTEM PUBLIC ${PNG_DIR} ${CODECS_CONFIG_DIR}/png)
target_compile_definitions(png PRIVATE PNG_INTEL_SSE_OPT=1)
target_compile_options(png PRIVATE -w -O2)
target_link_libraries(png PUBLIC zlibstatic)

# libtiff with its Win32 file layer and the codecs none, LZW, deflate and PackBits.
set(TIFF_DIR ${DEPS_DIR}/tiff/libtiff)
foreach(bits 8 16 32 64)
  set(TIFF_INT${bits}_T int${bits}_t)
  set(TIFF_UINT${bits}_T uint${bits}_t)
endforeach()
set(TIFF_SSIZE_T int64_t)
set(HAVE_IEEEFP 1)
set(HOST_FILLORDER FILLORDER_LSB2MSB)
set(HOST_BIG_ENDIAN 0)
set(LZW_SUPPORT 1)
set(PACKBITS_SUPPORT 1)
set(ZIP_SUPPORT 1)
set(STRIPCHOP_DEFAULT 1)
set(DEFAULT_EXTRASAMPLE_AS_ALPHA 1)
set(HAVE_ASSERT_H 1)
set(HAVE_FCNTL_H 1)
set(HAVE_IO_H 1)
set(HAVE_SYS_TYPES_H 1)
set(USE_WIN32_FILEIO 1)
set(PACKAGE_NAME LibTIFF)
file(READ ${TIFF_DIR}/../VERSION PACKAGE_VERSION)
string(STRIP "${PACKAGE_VERSION}" PACKAGE_VERSION)
set(PACKAGE_STRING "LibTIFF ${PACKAGE_VERSION}")
set(PACKAGE_TARNAME tiff)
set(SIZEOF_SIZE_T 8)
set(STRIP_SIZE_DEFAULT 8192)
set(TIFF_MAX_DIR_COUNT 1048576)
configure_file(${TIFF_DIR}/tiffconf.h.cmake.in ${CODECS_CONFIG_DIR}/tiff/tiffconf.h)
configure_file(${TIFF_DIR}/tif_config.h.cmake.in ${CODECS_CONFIG_DIR}/tiff/tif_config.h)
set(TIFF_SOURCES aux close codec color compress dir dirinfo dirread dirwrite dumpmode error extension flush getimage
    hash_set lzw open packbits predict print read strip swab tile version warning win32 write zip)
list(TRANSFORM TIFF_SOURCES PREPEND ${TIFF_DIR}/tif_)
list(TRANSFORM TIFF_SOURCES APPEND .c)
add_library(tiff STATIC ${TIFF_SOURCES})
target_include_directories(tiff SYSTEM PUBLIC ${TIFF_DIR} ${CODECS_CONFIG_DIR}/tiff)
# Its old integer names would clash with the host interface's int16, int32 and the like.
target_compile_definitions(tiff PUBLIC TIFF_DISABLE_DEPRECATED)
target_compile_options(tiff PRIVATE -w -O2)
target_link_libraries(tiff PUBLIC zlibstatic)

if(BUILD_TESTING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
