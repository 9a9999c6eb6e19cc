# Authenticode signing of what this project builds, with the vendor's
# certificate given as build inputs: TOLVEK_SIGN_PFX and TOLVEK_SIGN_PASSWORD,
# or TOLVEK_SIGN_CERT and TOLVEK_SIGN_KEY; TOLVEK_SIGN_TIMESTAMP_URL adds a
# timestamp. TOLVEK_SIGN_COMMAND then signs, in place, the file given as its
# last argument; without a certificate it is empty and nothing is signed.
set(TOLVEK_SIGN_PFX "" CACHE FILEPATH "PKCS#12 file holding the signing certificate and key")
set(TOLVEK_SIGN_PASSWORD "" CACHE STRING "Password of TOLVEK_SIGN_PFX")
set(TOLVEK_SIGN_CERT "" CACHE FILEPATH "Signing certificate (PEM or DER), with TOLVEK_SIGN_KEY")
set(TOLVEK_SIGN_KEY "" CACHE FILEPATH "Private key of TOLVEK_SIGN_CERT")
set(TOLVEK_SIGN_TIMESTAMP_URL "" CACHE STRING "Authenticode timestamp server")
set(TOLVEK_SIGN_CAFILE "${TOLVEK_SIGN_CERT}" CACHE FILEPATH
  "Certificates the signature check trusts (default: TOLVEK_SIGN_CERT)")
mark_as_advanced(TOLVEK_SIGN_PASSWORD)

set(TOLVEK_SIGN_COMMAND "")
set(sign_dir ${CMAKE_BINARY_DIR}/signing)
if(TOLVEK_SIGN_PFX)
  if(TOLVEK_SIGN_CERT OR TOLVEK_SIGN_KEY)
    message(FATAL_ERROR "Give either TOLVEK_SIGN_PFX or TOLVEK_SIGN_CERT and TOLVEK_SIGN_KEY, not both")
  endif()
  if(NOT EXISTS ${TOLVEK_SIGN_PFX})
    message(FATAL_ERROR "TOLVEK_SIGN_PFX: no file ${TOLVEK_SIGN_PFX}")
  endif()
  # The password goes to osslsigncode in a file only this user reads, never
  # on a command line that any process list shows.
  file(WRITE ${sign_dir}/password "${TOLVEK_SIGN_PASSWORD}")
  file(CHMOD ${sign_dir}/password PERMISSIONS OWNER_READ OWNER_WRITE)
  set(TOLVEK_SIGN_COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign.sh -pkcs12 ${TOLVEK_SIGN_PFX} -readpass ${sign_dir}/password)
elseif(TOLVEK_SIGN_CERT OR TOLVEK_SIGN_KEY)
  foreach(input TOLVEK_SIGN_CERT TOLVEK_SIGN_KEY)
    if(NOT ${input} OR NOT EXISTS ${${input}})
      message(FATAL_ERROR "Signing needs TOLVEK_SIGN_CERT and TOLVEK_SIGN_KEY: no file for ${input}")
    endif()
  endforeach()
  set(TOLVEK_SIGN_COMMAND ${CMAKE_SOURCE_DIR}/scripts/sign.sh -certs ${TOLVEK_SIGN_CERT} -key ${TOLVEK_SIGN_KEY})
endif()

if(TOLVEK_SIGN_COMMAND)
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
  if(TOLVEK_SIGN_TIMESTAMP_URL)
    list(INSERT TOLVEK_SIGN_COMMAND 1 -t ${TOLVEK_SIGN_TIMESTAMP_URL})
  endif()
  message(STATUS "Signing the programs, language libraries and packages")
else()
  message(STATUS "Not signing: no certificate given (TOLVEK_SIGN_PFX or TOLVEK_SIGN_CERT with TOLVEK_SIGN_KEY)")
endif()

# tolvek_sign(target): signs the target's file as soon as it is linked, so
# that packages take it signed. The vendor's files ship as received.
function(tolvek_sign target)
  if(TOLVEK_SIGN_COMMAND)
    add_custom_command(TARGET ${target} POST_BUILD COMMAND ${TOLVEK_SIGN_COMMAND} $<TARGET_FILE:${target}> VERBATIM)
  endif()
endfunction()
