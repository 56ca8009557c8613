# One library per source folder, and dependencies that run one way.
#
# A folder's library does not see the whole source tree: its include path holds a
# directory with one link, to its own folder, and it sees other folders only
# through the libraries it links. An `#include "net/..."` in a folder that does
# not link tarnvale_net therefore fails to compile, instead of building quietly
# against a layer above it.

# tarnvale_folder_includes(target folder): `#include "folder/..."` resolves for the
# target and for everything that links it.
function(tarnvale_folder_includes target folder)
  set(root ${CMAKE_BINARY_DIR}/folders/${folder})
  # A folder inside another (tools/connectserver) keeps its whole path.
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# tarnvale_folder_library(folder DEPENDS lib...): the static library
# tarnvale_<folder> from the folder's own .cpp files, linking `lib...` publicly.
function(tarnvale_folder_library folder)
  cmake_parse_arguments(arg "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(tarnvale_${folder} STATIC ${sources})
  tarnvale_folder_includes(tarnvale_${folder} ${folder})
  target_link_libraries(tarnvale_${folder} PUBLIC ${arg_DEPENDS})
  tarnvale_target_options(tarnvale_${folder})
endfunction()
