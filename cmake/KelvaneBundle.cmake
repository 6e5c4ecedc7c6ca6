# The runnable bundle: build/Kelvane/{bin,lib,share} and its version file Info.json. Every
# program users run lives in it, and `cmake --install build --prefix DIR` lays out the same
# tree as DIR/Kelvane/ (component "bundle"), with its signed manifest in Kelvane/.signature/.
set(KELVANE_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Kelvane)
set(KELVANE_BUNDLE_BIN ${KELVANE_BUNDLE_DIR}/bin)
file(MAKE_DIRECTORY ${KELVANE_BUNDLE_BIN})

# Read at run time as the application's version and build.
file(CONFIGURE OUTPUT ${KELVANE_BUNDLE_DIR}/Info.json
  CONTENT "{\n    \"build\": \"${KELVANE_BUILD}\",\n    \"version\": \"${PROJECT_VERSION}\"\n}\n"
  @ONLY)
install(FILES ${KELVANE_BUNDLE_DIR}/Info.json DESTINATION Kelvane COMPONENT bundle)

# kelvane_bundle_program(target): builds the program into the bundle's bin/ and installs it there.
function(kelvane_bundle_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELVANE_BUNDLE_BIN})
  install(TARGETS ${target} RUNTIME DESTINATION Kelvane/bin COMPONENT bundle)
endfunction()
