# The operator's public keys for trusted updates: TARNVALE_UPDATE_KEYS holds one
# or two Ed25519 public keys, separated by "," or ";", each written as 64 hex
# digits or as the path of the public-key file that `tarnvale-patch keygen` wrote
# (KEY.pub; a relative path is taken from the source folder). Empty (the default)
# builds launchers that fetch and check nothing beyond the plain update.

# tarnvale_check_update_keys(value out): `out` gets the keys joined by ","; a
# value that is not such a list stops the configure step with a clear message.
function(tarnvale_check_update_keys value out)
  string(STRIP "${value}" value)
  set(keys "")
  if(NOT value STREQUAL "")
    string(REPLACE ";" "," value "${value}")
    string(REPLACE "," ";" pieces "${value}")
    # A trailing separator would hide an empty piece from the list.
    if(value MATCHES ",[ \t]*$" OR value MATCHES "^[ \t]*,")
      message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: an empty key in \"${value}\"")
    endif()
    foreach(piece IN LISTS pieces)
      string(STRIP "${piece}" piece)
      set(shown "\"${piece}\"")
      if(NOT piece MATCHES "^[0-9a-fA-F]*$")
        set(file "${piece}")
        if(NOT IS_ABSOLUTE "${file}")
          set(file "${CMAKE_SOURCE_DIR}/${file}")
        endif()
        if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
          message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: \"${piece}\" is neither a public key of 64 hex digits nor a key file (${file} does not exist; give the .pub file's absolute path)")
        endif()
        file(READ "${file}" piece)
        string(STRIP "${piece}" piece)
        set(shown "${file}")
      endif()
      string(LENGTH "${piece}" length)
      if(length EQUAL 128 AND piece MATCHES "^[0-9a-fA-F]+$")
        message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: ${shown} is a secret key (128 hex digits); launchers are built with the public key, the .pub file beside it")
      endif()
      if(NOT piece MATCHES "^[0-9a-fA-F]+$")
        message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: ${shown} is not a public key of 64 hex digits")
      endif()
      if(NOT length EQUAL 64)
        message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: ${shown} is not a public key of 64 hex digits (it has ${length})")
      endif()
      string(TOLOWER "${piece}" piece)
      list(APPEND keys ${piece})
    endforeach()
    list(LENGTH keys count)
    if(count GREATER 2)
      message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: at most two keys (the current one and the next), not ${count}")
    endif()
  endif()
  string(REPLACE ";" "," keys "${keys}")
  set(${out} "${keys}" PARENT_SCOPE)
endfunction()

# tarnvale_announce_update_keys(value): says in the configure output which keys
# the launchers of this build trust, so that the operator can compare them with
# the .pub file before shipping.
function(tarnvale_announce_update_keys value)
  tarnvale_check_update_keys("${value}" keys)
  if(keys STREQUAL "")
    message(STATUS "Update keys: none (launchers install updates without checking signatures)")
  else()
    string(REPLACE "," ";" keys "${keys}")
    foreach(key IN LISTS keys)
      message(STATUS "Update key built in: ${key}")
    endforeach()
  endif()
endfunction()

# tarnvale_update_keys_header(value dir): writes dir/UpdateKeys.inc with the
# checked keys, rewriting it only when they change.
function(tarnvale_update_keys_header dir)
  tarnvale_check_update_keys("${ARGN}" keys)
  file(CONFIGURE OUTPUT ${dir}/UpdateKeys.inc CONTENT
    "// Written by the configure step from TARNVALE_UPDATE_KEYS.\nnamespace tarnvale::trust {\ninline constexpr char kBuiltInUpdateKeys[] = \"${keys}\";\n}\n")
endfunction()
