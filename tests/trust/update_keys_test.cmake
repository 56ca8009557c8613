# Runs the check of TARNVALE_UPDATE_KEYS on good and bad values, each in a cmake
# of its own (a bad value stops the script it runs in).
set(one 00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff)
set(two ffeeddccbbaa99887766554433221100ffeeddccbbaa99887766554433221100)
set(check ${CMAKE_CURRENT_BINARY_DIR}/update_keys_check.cmake)
file(WRITE ${check} "include(${SOURCE_DIR}/cmake/UpdateKeys.cmake)\n"
  "tarnvale_check_update_keys(\"\${VALUE}\" keys)\nmessage(STATUS \"keys=\${keys}\")\n")

function(expect value outcome expected)
  execute_process(COMMAND ${CMAKE_COMMAND} "-DVALUE=${value}" -P ${check}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(outcome STREQUAL "ok")
    if(NOT result EQUAL 0 OR NOT out MATCHES "keys=${expected}\n")
      message(FATAL_ERROR "\"${value}\" should give \"${expected}\": ${out}${err}")
    endif()
    return()
  endif()
  # cmake wraps a long message over lines: the words count, not where it broke.
  string(REGEX REPLACE "[ \n]+" " " err "${err}")
  if(result EQUAL 0 OR NOT err MATCHES "${expected}")
    message(FATAL_ERROR "\"${value}\" should fail with \"${expected}\": ${out}${err}")
  endif()
endfunction()

expect("" ok "")
expect("${one}" ok "${one}")
expect(" ${one} , ${two} " ok "${one},${two}")
expect("${one};${two}" ok "${one},${two}")
expect("${one}0" fail "64 hex digits")
expect("xyz" fail "64 hex digits")
expect("${one},${two},${one}" fail "at most two keys")
expect("${one}," fail "an empty key")

# The key files keygen writes: the public one is taken, the secret one named.
set(keys_dir ${CMAKE_CURRENT_BINARY_DIR}/update_keys_files)
file(MAKE_DIRECTORY ${keys_dir})
file(WRITE ${keys_dir}/operator.key.pub "${one}\n")
file(WRITE ${keys_dir}/operator.key "${one}${two}\n")
expect("${keys_dir}/operator.key.pub" ok "${one}")
expect("${keys_dir}/operator.key.pub;${two}" ok "${one},${two}")
expect("${keys_dir}/operator.key" fail "secret key \\(128")
expect("${keys_dir}/missing.pub" fail "neither a public key")
