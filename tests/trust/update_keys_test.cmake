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
  elseif(result EQUAL 0 OR NOT err MATCHES "${expected}")
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
