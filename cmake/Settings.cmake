# Deployment settings: fixed at build time, compiled into one generated header.
# Texts may carry non-ASCII bytes as C escapes in their code page (936 for the
# branding texts).
set(TARNVALE_CONNECT_HOST "connect.tarnvale.example" CACHE STRING
  "Default connect-server host name or dotted IPv4 address")
set(TARNVALE_NOTICE_URL "http://www.tarnvale.example/launcher/notice.html" CACHE STRING
  "Notice page opened in the launcher window")
if(WIN32)
  set(_game_client "TarnvaleGame.exe")
else()
  set(_game_client "tarnvale-game")
endif()
set(TARNVALE_GAME_CLIENT "${_game_client}" CACHE STRING "File name of the game client executable")
set(TARNVALE_LAUNCHER_NAME "Tarnvale\\xb5\\xc7\\xc2\\xbc\\xc6\\xf7" CACHE STRING
  "Launcher name (code page 936 bytes as C escapes): window title, mutex, file name without .exe")
set(TARNVALE_FIELD_KEY "0x5E, 0x91, 0x2D" CACHE STRING
  "Three-byte key of the connect server's text fields")
set(TARNVALE_PARAM_KEY "0x1B, 0x2C, 0x3D, 0x4E" CACHE STRING
  "Four-byte key of the connection parameters shared with the game client")
set(TARNVALE_MESSAGE_KEY "0x6D" CACHE STRING "One-byte key of message.wtf texts")

set(TARNVALE_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/settings.h.in ${TARNVALE_GENERATED_DIR}/tarnvale/settings.h @ONLY)
