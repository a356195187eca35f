# Little CMS 2, GLEW and GoogleTest as static libraries, built from the Debian sources that
# scripts/setup.sh fetched into .deps/ (nothing third-party is committed).
set(DEPS_DIR ${CMAKE_SOURCE_DIR}/.deps)
if(NOT EXISTS ${DEPS_DIR}/lcms2/src/cmsxform.c OR NOT EXISTS ${DEPS_DIR}/glew/src/glew.c)
  message(FATAL_ERROR "Third-party sources missing: run scripts/setup.sh first")
endif()

file(GLOB LCMS2_SOURCES ${DEPS_DIR}/lcms2/src/*.c)
add_library(lcms2 STATIC ${LCMS2_SOURCES})
target_include_directories(lcms2 SYSTEM PUBLIC ${DEPS_DIR}/lcms2/include)
target_compile_options(lcms2 PRIVATE -w -O2)

add_library(glew STATIC ${DEPS_DIR}/glew/src/glew.c)
target_include_directories(glew SYSTEM PUBLIC ${DEPS_DIR}/glew/include)
target_compile_definitions(glew PUBLIC GLEW_STATIC)
target_compile_options(glew PRIVATE -w -O2)
target_link_libraries(glew PUBLIC opengl32)

if(BUILD_TESTING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
