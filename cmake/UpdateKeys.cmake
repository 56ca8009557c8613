# The operator's public keys for trusted updates: TARNVALE_UPDATE_KEYS holds one
# or two Ed25519 public keys of 64 hex digits, separated by "," or ";". Empty (the
# default) builds launchers that fetch and check nothing beyond the plain update.

# tarnvale_check_update_keys(value out): `out` gets the keys joined by ","; a
# value that is not such a list stops the configure step with a clear message.
function(tarnvale_check_update_keys value out)
  string(REGEX REPLACE "[ \t]" "" value "${value}")
  set(keys "")
  if(NOT value STREQUAL "")
    string(REPLACE ";" "," value "${value}")
    string(REPLACE "," ";" pieces "${value}")
    # A trailing separator would hide an empty piece from the list.
    if(value MATCHES ",$" OR value MATCHES "^,")
      message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: an empty key in \"${value}\"")
    endif()
    foreach(piece IN LISTS pieces)
      if(NOT piece MATCHES "^[0-9a-fA-F]+$")
        message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: \"${piece}\" is not a public key of 64 hex digits")
      endif()
      string(LENGTH "${piece}" length)
      if(NOT length EQUAL 64)
        message(FATAL_ERROR "TARNVALE_UPDATE_KEYS: \"${piece}\" is not a public key of 64 hex digits (it has ${length})")
      endif()
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

# tarnvale_update_keys_header(value dir): writes dir/UpdateKeys.inc with the
# checked keys, rewriting it only when they change.
function(tarnvale_update_keys_header dir)
  tarnvale_check_update_keys("${ARGN}" keys)
  file(CONFIGURE OUTPUT ${dir}/UpdateKeys.inc CONTENT
    "// Written by the configure step from TARNVALE_UPDATE_KEYS.\nnamespace tarnvale::trust {\ninline constexpr char kBuiltInUpdateKeys[] = \"${keys}\";\n}\n")
endfunction()
