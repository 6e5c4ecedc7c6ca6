# The engine archive and the pin compiled into the application (EnginePin.h).
# By default the pin names the archive built here from kelvane-devengine; a release build sets
# KELVANE_JUICEFS_SHA256 (and the archive name and download base) to pin the product's own.
set(KELVANE_JUICEFS_VERSION "1.3.1")
set(KELVANE_JUICEFS_ARCHIVE "juicefs-${KELVANE_JUICEFS_VERSION}-linux-amd64.tar.gz"
  CACHE STRING "File name of the pinned JuiceFS archive under /downloads/")
set(KELVANE_JUICEFS_SHA256 ""
  CACHE STRING "SHA-256 of the pinned archive; empty pins the dev engine archive built here")
set(KELVANE_JUICEFS_DOWNLOAD_BASE ""
  CACHE STRING "Origin serving /downloads/; empty means the signed-in workspace server's origin")

# A release must pin the product's own engine: a dev pin would never match what it downloads.
if(KELVANE_RELEASE)
  string(LENGTH "${KELVANE_JUICEFS_SHA256}" pin_length)
  if(NOT pin_length EQUAL 64 OR NOT KELVANE_JUICEFS_SHA256 MATCHES "^[0-9a-f]+$")
    message(FATAL_ERROR "KELVANE_RELEASE needs KELVANE_JUICEFS_SHA256: the pinned archive's "
      "SHA-256 as 64 lower-case hex digits")
  endif()
  if(KELVANE_JUICEFS_ARCHIVE STREQUAL "" OR KELVANE_JUICEFS_DOWNLOAD_BASE STREQUAL "")
    message(FATAL_ERROR "KELVANE_RELEASE needs KELVANE_JUICEFS_ARCHIVE and "
      "KELVANE_JUICEFS_DOWNLOAD_BASE set to the released engine's archive and its origin")
  endif()
endif()

set(KELVANE_ENGINE_ARCHIVE_PATH ${CMAKE_BINARY_DIR}/downloads/${KELVANE_JUICEFS_ARCHIVE}
  CACHE INTERNAL "The dev engine archive built by this project")
set(engine_archive ${KELVANE_ENGINE_ARCHIVE_PATH})
set(engine_pin_header ${CMAKE_BINARY_DIR}/generated/mount/EnginePin.h)
set(pin_args
  -DTEMPLATE=${CMAKE_CURRENT_SOURCE_DIR}/EnginePin.h.in
  -DOUTPUT=${engine_pin_header}
  -DPIN_VERSION=${KELVANE_JUICEFS_VERSION}
  -DPIN_ARCHIVE=${KELVANE_JUICEFS_ARCHIVE}
  -DPIN_BASE=${KELVANE_JUICEFS_DOWNLOAD_BASE})

add_custom_command(OUTPUT ${engine_archive}
  COMMAND ${CMAKE_COMMAND}
    -DENGINE=$<TARGET_FILE:kelvane-devengine>
    -DARCHIVE=${engine_archive}
    -DWORK=${CMAKE_CURRENT_BINARY_DIR}/archive
    -DSTRIP=${CMAKE_STRIP}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/PackEngine.cmake
  DEPENDS kelvane-devengine ${CMAKE_CURRENT_SOURCE_DIR}/PackEngine.cmake
  COMMENT "Packing kelvane-devengine as ${KELVANE_JUICEFS_ARCHIVE}"
  VERBATIM)
add_custom_target(kelvane_engine_archive ALL DEPENDS ${engine_archive})

if(KELVANE_JUICEFS_SHA256)
  string(TOLOWER "${KELVANE_JUICEFS_SHA256}" pinned_sha256)
  execute_process(COMMAND ${CMAKE_COMMAND} ${pin_args} -DPIN_SHA256=${pinned_sha256}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/WriteEnginePin.cmake
    COMMAND_ERROR_IS_FATAL ANY)
  add_custom_target(kelvane_engine_pin_header)
else()
  # The header is a byproduct so Ninja rebuilds its users only when its text really changes.
  set(pin_stamp ${CMAKE_CURRENT_BINARY_DIR}/EnginePin.stamp)
  add_custom_command(OUTPUT ${pin_stamp}
    BYPRODUCTS ${engine_pin_header}
    COMMAND ${CMAKE_COMMAND} ${pin_args} -DARCHIVE=${engine_archive} -DSTAMP=${pin_stamp}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/WriteEnginePin.cmake
    DEPENDS ${engine_archive} ${CMAKE_CURRENT_SOURCE_DIR}/WriteEnginePin.cmake
      ${CMAKE_CURRENT_SOURCE_DIR}/EnginePin.h.in
    COMMENT "Pinning the SHA-256 of ${KELVANE_JUICEFS_ARCHIVE}"
    VERBATIM)
  add_custom_target(kelvane_engine_pin_header ALL DEPENDS ${pin_stamp})
endif()

add_library(kelvane_engine_pin INTERFACE)
target_include_directories(kelvane_engine_pin INTERFACE ${CMAKE_BINARY_DIR}/generated)
add_dependencies(kelvane_engine_pin kelvane_engine_pin_header)
