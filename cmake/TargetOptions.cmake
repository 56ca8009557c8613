# What every target of the project is built with, given to each target rather
# than to the whole directory tree (third-party code built here keeps its own).
#
# tarnvale_build_options: the flavour's options. A checked build's sanitizers,
# libFuzzer's coverage, and on Windows the API level and one self-contained
# executable per program (no MinGW runtime DLLs beside it).
add_library(tarnvale_build_options INTERFACE)
if(TARNVALE_FUZZ)
  # The fuzz targets add the fuzzer's main.
  target_compile_options(tarnvale_build_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(TARNVALE_SANITIZE)
  target_compile_options(tarnvale_build_options INTERFACE -fsanitize=address,undefined
    -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tarnvale_build_options INTERFACE -fsanitize=address,undefined)
endif()
if(WIN32)
  target_link_options(tarnvale_build_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(tarnvale_build_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0601)
endif()

# The project's warnings, on every toolchain it builds with. scripts/test and CI
# turn them into errors; a user's build with another compiler or other flags only
# shows them, since a new compiler's new warning must not stop an install.
option(TARNVALE_WERROR "Treat compiler warnings as errors" OFF)

# tarnvale_target_options(target): the build options and the warnings, for one of
# the project's own targets.
function(tarnvale_target_options target)
  target_link_libraries(${target} PRIVATE tarnvale_build_options)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 at -O3 reports an impossible overlap inside std::string's own
    # operator+ (a known false positive of that release); it says nothing about
    # our code, and it would stop every optimised build.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(TARNVALE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
