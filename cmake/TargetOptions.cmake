# The project's warnings, on every toolchain it builds with. scripts/test and CI
# turn them into errors; a user's build with another compiler or other flags only
# shows them, since a new compiler's new warning must not stop an install.
option(TARNVALE_WERROR "Treat compiler warnings as errors" OFF)

function(tarnvale_warnings target)
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
