# Third-party libraries: Debian's -dev packages on Linux; for MinGW, Debian's
# zlib package and the bzip2, minizip and libsodium that scripts/install-deps
# builds.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)

find_path(MINIZIP_INCLUDE_DIR unzip.h PATH_SUFFIXES minizip REQUIRED)
find_library(MINIZIP_LIBRARY NAMES minizip REQUIRED)
add_library(tarnvale::minizip INTERFACE IMPORTED)
target_include_directories(tarnvale::minizip INTERFACE ${MINIZIP_INCLUDE_DIR})
target_link_libraries(tarnvale::minizip INTERFACE ${MINIZIP_LIBRARY} ZLIB::ZLIB)

# libsodium: signatures and hashes of trusted updates.
add_library(tarnvale::sodium INTERFACE IMPORTED)
if(WIN32)
  find_path(SODIUM_INCLUDE_DIR sodium.h REQUIRED)
  find_library(SODIUM_LIBRARY NAMES libsodium.a sodium REQUIRED)
  target_include_directories(tarnvale::sodium INTERFACE ${SODIUM_INCLUDE_DIR})
  target_link_libraries(tarnvale::sodium INTERFACE ${SODIUM_LIBRARY})
  target_compile_definitions(tarnvale::sodium INTERFACE SODIUM_STATIC)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
  target_link_libraries(tarnvale::sodium INTERFACE PkgConfig::SODIUM)
endif()

if(NOT WIN32)
  find_package(CURL REQUIRED)
  find_package(Threads REQUIRED)
endif()

if(TARNVALE_TESTS)
  if(CMAKE_CROSSCOMPILING)
    # GoogleTest for MinGW is built from its sources: Debian's googletest
    # package puts them here.
    set(TARNVALE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
      "GoogleTest's source tree, built for the cross-compiled tests")
    if(NOT EXISTS ${TARNVALE_GOOGLETEST_SOURCE}/CMakeLists.txt)
      message(FATAL_ERROR "no GoogleTest sources in ${TARNVALE_GOOGLETEST_SOURCE}: install "
        "Debian's googletest package (scripts/install-deps) or set TARNVALE_GOOGLETEST_SOURCE")
    endif()
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TARNVALE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL
      SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
