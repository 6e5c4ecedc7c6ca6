# cmake -DTEMPLATE=... -DOUTPUT=... -DPIN_VERSION=... -DPIN_ARCHIVE=... -DPIN_BASE=...
#       (-DPIN_SHA256=<hex> | -DARCHIVE=<file> -DSTAMP=<file>) -P WriteEnginePin.cmake
# Writes EnginePin.h only when its text changes, so a re-packed but identical archive
# recompiles nothing.
if(NOT PIN_SHA256)
  file(SHA256 ${ARCHIVE} PIN_SHA256)
endif()
string(TOLOWER "${PIN_SHA256}" PIN_SHA256)
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
if(STAMP)
  file(TOUCH ${STAMP})
endif()
