# Authenticode SHA-1 signing of what the device build writes (the image with osslsigncode, the
# installer cabinet with our own signer).
#
# Default: a throwaway test CA and code-signing certificate generated into the build tree, both
# signed with SHA-1. A real (privileged) certificate is given either as a PFX file or as a
# certificate and a key file, through these cache variables or the environment variables of the
# same names. A password is never stored by the build: sign_authenticode.sh reads it at build time
# from CLOCKWARD_SIGN_PASSWORD_FILE or from the environment variable CLOCKWARD_SIGN_PASSWORD.
set(CLOCKWARD_SIGN_PFX "$ENV{CLOCKWARD_SIGN_PFX}" CACHE FILEPATH "PKCS#12 file to sign with")
set(CLOCKWARD_SIGN_CERT "$ENV{CLOCKWARD_SIGN_CERT}" CACHE FILEPATH "Certificate (PEM) to sign with")
set(CLOCKWARD_SIGN_KEY "$ENV{CLOCKWARD_SIGN_KEY}" CACHE FILEPATH "Private key (PEM) of CLOCKWARD_SIGN_CERT")
set(CLOCKWARD_SIGN_PASSWORD_FILE "$ENV{CLOCKWARD_SIGN_PASSWORD_FILE}" CACHE FILEPATH
    "File whose first line is the password of CLOCKWARD_SIGN_PFX or CLOCKWARD_SIGN_KEY")
if(DEFINED CLOCKWARD_SIGN_PFX_PASSWORD OR DEFINED CLOCKWARD_SIGN_PASSWORD)
    unset(CLOCKWARD_SIGN_PFX_PASSWORD CACHE)
    unset(CLOCKWARD_SIGN_PASSWORD CACHE)
    message(FATAL_ERROR "A signing password is not a CMake variable (it would be written to CMakeCache.txt): "
                        "set the environment variable CLOCKWARD_SIGN_PASSWORD when building, or CLOCKWARD_SIGN_PASSWORD_FILE")
endif()

find_program(OSSLSIGNCODE osslsigncode)
find_program(OPENSSL openssl)
set(CLOCKWARD_SIGNING_AVAILABLE OFF)
if(NOT OSSLSIGNCODE OR NOT OPENSSL)
    message(WARNING "osslsigncode or openssl not found: nothing is signed (clockward-signed.exe is not built)")
    return()
endif()

set(TEST_SIGNING_DIR ${CMAKE_BINARY_DIR}/test-signing)
set(SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign_authenticode.sh)
# The script signs an image with osslsigncode and a cabinet with our own signer (sign_cab.py).
set(SIGN_SOURCES ${SIGN_SCRIPT} ${CMAKE_CURRENT_LIST_DIR}/sign_cab.py ${CMAKE_CURRENT_LIST_DIR}/cab_layout.py
    ${CMAKE_CURRENT_LIST_DIR}/authenticode_der.py ${CMAKE_CURRENT_LIST_DIR}/../cab/cab_format.py)
if(CLOCKWARD_SIGN_PFX)
    set(SIGN_WITH --pfx ${CLOCKWARD_SIGN_PFX})
    set(SIGN_DEPENDS ${CLOCKWARD_SIGN_PFX})
    message(STATUS "Signing with ${CLOCKWARD_SIGN_PFX}")
elseif(CLOCKWARD_SIGN_CERT AND CLOCKWARD_SIGN_KEY)
    set(SIGN_WITH --cert ${CLOCKWARD_SIGN_CERT} --key ${CLOCKWARD_SIGN_KEY})
    set(SIGN_DEPENDS ${CLOCKWARD_SIGN_CERT} ${CLOCKWARD_SIGN_KEY})
    message(STATUS "Signing with ${CLOCKWARD_SIGN_CERT}")
elseif(CLOCKWARD_SIGN_CERT OR CLOCKWARD_SIGN_KEY)
    message(FATAL_ERROR "CLOCKWARD_SIGN_CERT and CLOCKWARD_SIGN_KEY go together: give both or neither")
else()
    add_custom_command(OUTPUT ${TEST_SIGNING_DIR}/signer.pem ${TEST_SIGNING_DIR}/signer.key ${TEST_SIGNING_DIR}/ca.pem
        COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_test_certificate.sh ${TEST_SIGNING_DIR}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_test_certificate.sh
        COMMENT "Making a throwaway SHA-1 test CA and code-signing certificate")
    # The CA goes into the signature too, so a verifier given the CA sees the whole chain.
    set(SIGN_WITH --cert ${TEST_SIGNING_DIR}/signer.pem --key ${TEST_SIGNING_DIR}/signer.key --ac ${TEST_SIGNING_DIR}/ca.pem)
    set(SIGN_DEPENDS ${TEST_SIGNING_DIR}/signer.pem ${TEST_SIGNING_DIR}/signer.key ${TEST_SIGNING_DIR}/ca.pem)
    message(STATUS "Signing with a throwaway test certificate (${TEST_SIGNING_DIR})")
endif()
set(CLOCKWARD_SIGNING_AVAILABLE ON)
# Reproducible builds: SOURCE_DATE_EPOCH, read when configuring like the image's time stamp, is the signing time.
if(BUILD_TIME_STAMP_GIVEN)
    list(APPEND SIGN_WITH --time ${BUILD_TIME_STAMP})
endif()
# A password file named when configuring is handed over; otherwise the build's own environment is read.
set(SIGN_ENVIRONMENT)
if(CLOCKWARD_SIGN_PASSWORD_FILE)
    set(SIGN_ENVIRONMENT ${CMAKE_COMMAND} -E env CLOCKWARD_SIGN_PASSWORD_FILE=${CLOCKWARD_SIGN_PASSWORD_FILE})
endif()

# Adds a build step that writes signed, the Authenticode-signed copy of unsigned. Further arguments
# name files built from signed: they are removed first, so that a failed signing leaves none of
# them looking current.
function(clockward_sign unsigned signed what)
    set(remove_stale)
    if(ARGN)
        set(remove_stale COMMAND ${CMAKE_COMMAND} -E rm -f ${ARGN})
    endif()
    add_custom_command(OUTPUT ${signed}
        ${remove_stale}
        COMMAND ${SIGN_ENVIRONMENT} bash ${SIGN_SCRIPT} ${unsigned} ${signed} ${SIGN_WITH}
        DEPENDS ${unsigned} ${SIGN_DEPENDS} ${SIGN_SOURCES}
        COMMENT "Signing ${what} (Authenticode, SHA-1)"
        VERBATIM)
endfunction()
