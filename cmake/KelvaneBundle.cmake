# The runnable bundle: build/Kelvane/{bin,lib,share}. Every program users run lives in it, and
# `cmake --install build --prefix DIR` lays out the same tree as DIR/Kelvane/.
set(KELVANE_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Kelvane)
set(KELVANE_BUNDLE_BIN ${KELVANE_BUNDLE_DIR}/bin)
file(MAKE_DIRECTORY ${KELVANE_BUNDLE_BIN})

# kelvane_bundle_program(target): builds the program into the bundle's bin/ and installs it there.
function(kelvane_bundle_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELVANE_BUNDLE_BIN})
  install(TARGETS ${target} RUNTIME DESTINATION Kelvane/bin)
endfunction()
