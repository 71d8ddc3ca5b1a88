# Signs clockward.exe with an Authenticode SHA-1 signature (what Windows Mobile 6 validates).
#
# Default: a throwaway test CA and code-signing certificate generated into the build tree.
# A real (privileged) certificate is given either as a PFX file with its password, or as a
# certificate and a key file, through these cache variables or the environment variables of the
# same names.
set(CLOCKWARD_SIGN_PFX "$ENV{CLOCKWARD_SIGN_PFX}" CACHE FILEPATH "PKCS#12 file to sign with")
set(CLOCKWARD_SIGN_PFX_PASSWORD "$ENV{CLOCKWARD_SIGN_PFX_PASSWORD}" CACHE STRING "Password of CLOCKWARD_SIGN_PFX")
set(CLOCKWARD_SIGN_CERT "$ENV{CLOCKWARD_SIGN_CERT}" CACHE FILEPATH "Certificate (PEM) to sign with")
set(CLOCKWARD_SIGN_KEY "$ENV{CLOCKWARD_SIGN_KEY}" CACHE FILEPATH "Private key (PEM) of CLOCKWARD_SIGN_CERT")

find_program(OSSLSIGNCODE osslsigncode)
find_program(OPENSSL openssl)
if(NOT OSSLSIGNCODE)
    message(WARNING "osslsigncode not found: the signed image clockward-signed.exe is not built")
    return()
endif()

set(CLOCKWARD_SIGNED_EXE ${CMAKE_BINARY_DIR}/clockward-signed.exe)
set(TEST_SIGNING_DIR ${CMAKE_BINARY_DIR}/test-signing)
set(sign_base ${OSSLSIGNCODE} sign -h sha1 -n Clockward)

if(CLOCKWARD_SIGN_PFX)
    set(sign_with -pkcs12 ${CLOCKWARD_SIGN_PFX} -pass ${CLOCKWARD_SIGN_PFX_PASSWORD})
    set(sign_depends ${CLOCKWARD_SIGN_PFX})
    message(STATUS "Signing clockward.exe with ${CLOCKWARD_SIGN_PFX}")
elseif(CLOCKWARD_SIGN_CERT AND CLOCKWARD_SIGN_KEY)
    set(sign_with -certs ${CLOCKWARD_SIGN_CERT} -key ${CLOCKWARD_SIGN_KEY})
    set(sign_depends ${CLOCKWARD_SIGN_CERT} ${CLOCKWARD_SIGN_KEY})
    message(STATUS "Signing clockward.exe with ${CLOCKWARD_SIGN_CERT}")
elseif(CLOCKWARD_SIGN_CERT OR CLOCKWARD_SIGN_KEY)
    message(FATAL_ERROR "CLOCKWARD_SIGN_CERT and CLOCKWARD_SIGN_KEY go together: give both or neither")
else()
    if(NOT OPENSSL)
        message(WARNING "openssl not found: no test certificate, so clockward-signed.exe is not built")
        return()
    endif()
    add_custom_command(OUTPUT ${TEST_SIGNING_DIR}/signer.pem ${TEST_SIGNING_DIR}/signer.key ${TEST_SIGNING_DIR}/ca.pem
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/make_test_certificate.sh ${TEST_SIGNING_DIR}
        COMMENT "Making a throwaway test CA and code-signing certificate")
    # The CA goes into the signature too, so a verifier given the CA sees the whole chain.
    set(sign_with -certs ${TEST_SIGNING_DIR}/signer.pem -key ${TEST_SIGNING_DIR}/signer.key -ac ${TEST_SIGNING_DIR}/ca.pem)
    set(sign_depends ${TEST_SIGNING_DIR}/signer.pem ${TEST_SIGNING_DIR}/signer.key ${TEST_SIGNING_DIR}/ca.pem)
    message(STATUS "Signing clockward.exe with a throwaway test certificate (${TEST_SIGNING_DIR})")
endif()

add_custom_command(OUTPUT ${CLOCKWARD_SIGNED_EXE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${CLOCKWARD_SIGNED_EXE}
    COMMAND ${sign_base} ${sign_with} -in ${CLOCKWARD_EXE} -out ${CLOCKWARD_SIGNED_EXE}
    DEPENDS ${CLOCKWARD_EXE} ${sign_depends}
    COMMENT "Signing clockward.exe (Authenticode, SHA-1)"
    VERBATIM)
add_custom_target(signed_device_image ALL DEPENDS ${CLOCKWARD_SIGNED_EXE})
