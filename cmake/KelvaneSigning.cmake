# The two minisign keys an updatable bundle needs:
#  - the developer key signs the bundle's manifest at install time (its public half ships in
#    the bundle, and its fingerprint is the "team" an update must share);
#  - the notary key signs update packages; its public half is compiled into kelvane.
# Name existing keys with the cache variables below. When a pair is not named, the configure
# step makes one under the build folder (never in the source tree, never in the bundle), so
# every developer build installs as a signed, updatable bundle.
set(KELVANE_DEVELOPER_SECRET_KEY "" CACHE FILEPATH "minisign secret key that signs bundle manifests")
set(KELVANE_DEVELOPER_PUBLIC_KEY "" CACHE FILEPATH "public half of KELVANE_DEVELOPER_SECRET_KEY")
set(KELVANE_NOTARY_SECRET_KEY "" CACHE FILEPATH "minisign secret key that signs update packages (optional when only the public key is given)")
set(KELVANE_NOTARY_PUBLIC_KEY "" CACHE FILEPATH "minisign public key kelvane trusts for update packages")

find_program(KELVANE_MINISIGN minisign)

# kelvane_key_pair(ROLE SECRET PUBLIC): the pair named by the cache variables, or one made under
# build/keys/ROLE.{key,pub}; sets KELVANE_<ROLE>_SECRET_KEY_FILE and _PUBLIC_KEY_FILE.
function(kelvane_key_pair role secret public)
  string(TOUPPER ${role} upper)
  if(public)
    if(NOT EXISTS "${public}")
      message(FATAL_ERROR "KELVANE_${upper}_PUBLIC_KEY names a missing file: ${public}")
    endif()
    if(secret AND NOT EXISTS "${secret}")
      message(FATAL_ERROR "KELVANE_${upper}_SECRET_KEY names a missing file: ${secret}")
    endif()
    set(KELVANE_${upper}_GENERATED_KEYS OFF PARENT_SCOPE)
  elseif(secret)
    message(FATAL_ERROR "KELVANE_${upper}_SECRET_KEY needs KELVANE_${upper}_PUBLIC_KEY too")
  else()
    set(secret ${CMAKE_BINARY_DIR}/keys/${role}.key)
    set(public ${CMAKE_BINARY_DIR}/keys/${role}.pub)
    if(NOT EXISTS "${secret}" OR NOT EXISTS "${public}")
      if(NOT KELVANE_MINISIGN)
        message(FATAL_ERROR "minisign is needed to make the ${role} key pair (install the "
          "minisign package), or name a pair with KELVANE_${upper}_SECRET_KEY and _PUBLIC_KEY")
      endif()
      file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/keys)
      execute_process(COMMAND ${KELVANE_MINISIGN} -G -W -f -p ${public} -s ${secret}
        INPUT_FILE /dev/null OUTPUT_QUIET RESULT_VARIABLE result ERROR_VARIABLE output)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR "minisign could not make the ${role} key pair: ${output}")
      endif()
      message(STATUS "Made a ${role} key pair for this build folder: ${public}")
    endif()
    set(KELVANE_${upper}_GENERATED_KEYS ON PARENT_SCOPE)
  endif()
  set(KELVANE_${upper}_SECRET_KEY_FILE "${secret}" PARENT_SCOPE)
  set(KELVANE_${upper}_PUBLIC_KEY_FILE "${public}" PARENT_SCOPE)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${public})
endfunction()

kelvane_key_pair(developer "${KELVANE_DEVELOPER_SECRET_KEY}" "${KELVANE_DEVELOPER_PUBLIC_KEY}")
kelvane_key_pair(notary "${KELVANE_NOTARY_SECRET_KEY}" "${KELVANE_NOTARY_PUBLIC_KEY}")
if(KELVANE_RELEASE AND (KELVANE_DEVELOPER_GENERATED_KEYS OR KELVANE_NOTARY_GENERATED_KEYS))
  message(FATAL_ERROR "KELVANE_RELEASE needs KELVANE_DEVELOPER_SECRET_KEY, "
    "KELVANE_DEVELOPER_PUBLIC_KEY and KELVANE_NOTARY_PUBLIC_KEY: a release is never signed "
    "with keys made for one build folder")
endif()

# The notary public key as minisign's base64 line, for compiling in.
file(STRINGS ${KELVANE_NOTARY_PUBLIC_KEY_FILE} notary_lines REGEX "^RW[A-Za-z0-9+/=]+$")
list(LENGTH notary_lines notary_count)
if(NOT notary_count EQUAL 1)
  message(FATAL_ERROR "${KELVANE_NOTARY_PUBLIC_KEY_FILE} is not a minisign public key")
endif()
set(KELVANE_NOTARY_PUBLIC_KEY_BASE64 ${notary_lines})

# Writes the signed manifest once every other file of the bundle is installed; call it last.
function(kelvane_install_bundle_signature)
  install(CODE "
    set(bundle \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/Kelvane\")
    execute_process(COMMAND \"$<TARGET_FILE:kelvane-package>\" sign \"\${bundle}\"
      --developer-key \"${KELVANE_DEVELOPER_SECRET_KEY_FILE}\" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"signing the bundle \${bundle} failed\")
    endif()" COMPONENT bundle)
endfunction()
