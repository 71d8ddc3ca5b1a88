# What the device build writes around the image, each by one packaging command (python3 -m packaging.*):
# clockward-signed.exe, the installer cabinet (clockward-unsigned.cab, clockward.cab), the cabinets that
# teach a phone to trust the signer and undo it (clockward-trust.cab, clockward-untrust.cab), and
# phone-copy/, the signed image and a StartUp shortcut to copy onto the phone by hand.
#
# Who signs: a PFX file, or a certificate and a key file, given through these cache variables or the
# environment variables of the same names; else a lasting identity in the folder CLOCKWARD_SIGN_IDENTITY
# names (made there by the first configure); else a throwaway test CA and code-signing certificate made
# in the build tree. A password is never stored by the build: the signing steps read it at build time
# from CLOCKWARD_SIGN_PASSWORD_FILE or from the environment variable CLOCKWARD_SIGN_PASSWORD.
set(CLOCKWARD_SIGN_PFX "$ENV{CLOCKWARD_SIGN_PFX}" CACHE FILEPATH "PKCS#12 file to sign with")
set(CLOCKWARD_SIGN_CERT "$ENV{CLOCKWARD_SIGN_CERT}" CACHE FILEPATH "Certificate (PEM) to sign with")
set(CLOCKWARD_SIGN_KEY "$ENV{CLOCKWARD_SIGN_KEY}" CACHE FILEPATH "Private key (PEM) of CLOCKWARD_SIGN_CERT")
set(CLOCKWARD_SIGN_IDENTITY "$ENV{CLOCKWARD_SIGN_IDENTITY}" CACHE PATH
    "Folder, outside any build tree, of your lasting signing identity (made there when missing or empty)")
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
    message(WARNING "osslsigncode or openssl not found: nothing is signed (clockward-signed.exe and the cabinets are not built)")
    return()
endif()

# Debian's python3, which has python3-cryptography; PYTHONPATH makes packaging/ importable.
set(PACKAGING_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(PACKAGING ${CMAKE_COMMAND} -E env PYTHONPATH=${PACKAGING_ROOT} PYTHONDONTWRITEBYTECODE=1)
if(CLOCKWARD_SIGN_PASSWORD_FILE)
    # A password file named when configuring is handed over; otherwise the build's own environment is read.
    list(APPEND PACKAGING CLOCKWARD_SIGN_PASSWORD_FILE=${CLOCKWARD_SIGN_PASSWORD_FILE})
endif()
list(APPEND PACKAGING /usr/bin/python3 -m)
file(GLOB_RECURSE PACKAGING_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.py ${CMAKE_CURRENT_LIST_DIR}/*.sh)

set(TEST_SIGNING_DIR ${CMAKE_BINARY_DIR}/test-signing)
unset(identity)
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
elseif(CLOCKWARD_SIGN_IDENTITY)
    set(identity ${CLOCKWARD_SIGN_IDENTITY})
    string(FIND "${identity}/" "${CMAKE_BINARY_DIR}/" at)
    if(at EQUAL 0)
        message(FATAL_ERROR "CLOCKWARD_SIGN_IDENTITY (${identity}) lies inside the build tree; "
                            "keep it where a new build folder or clone finds the same one")
    endif()
    # Made now, not as a build step, so that cleaning the build can never delete it.
    execute_process(COMMAND ${PACKAGING} packaging.signing_identity ${identity}
                    WORKING_DIRECTORY ${PACKAGING_ROOT} RESULT_VARIABLE failed OUTPUT_VARIABLE made ERROR_VARIABLE why
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(failed)
        message(FATAL_ERROR "${why}")
    endif()
    if(made)
        message(STATUS "${made}")
    endif()
    message(STATUS "Signing with the identity in ${identity}")
else()
    set(identity ${TEST_SIGNING_DIR})
    add_custom_command(OUTPUT ${TEST_SIGNING_DIR}/signer.pem ${TEST_SIGNING_DIR}/signer.key ${TEST_SIGNING_DIR}/ca.pem
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${TEST_SIGNING_DIR}
        COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/signing/make_certificates.sh ${TEST_SIGNING_DIR}
                "Clockward Test CA (untrusted)" "Clockward Test Code Signing"
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/signing/make_certificates.sh
        COMMENT "Making a throwaway SHA-1 test CA and code-signing certificate"
        VERBATIM)
    message(STATUS "Signing with a throwaway test certificate (${TEST_SIGNING_DIR})")
endif()
if(identity)
    # What the signing steps read of an identity folder (packaging/signing/credentials.py).
    set(SIGN_WITH --identity ${identity})
    set(SIGN_DEPENDS ${identity}/signer.pem ${identity}/signer.key ${identity}/ca.pem)
endif()
set(CLOCKWARD_SIGNING_AVAILABLE ON)
# Reproducible builds: SOURCE_DATE_EPOCH, read when configuring like the image's time stamp, is the
# signing time; it (or 0) is also every cabinet member's date.
if(BUILD_TIME_STAMP_GIVEN)
    list(APPEND SIGN_WITH --time ${BUILD_TIME_STAMP})
endif()

set(CLOCKWARD_UNSIGNED_CAB ${CMAKE_BINARY_DIR}/clockward-unsigned.cab)
set(CLOCKWARD_CAB ${CMAKE_BINARY_DIR}/clockward.cab)
set(CLOCKWARD_HAND_COPY_DIR ${CMAKE_BINARY_DIR}/phone-copy)
set(CLOCKWARD_TRUST_CABS ${CMAKE_BINARY_DIR}/clockward-trust.cab ${CMAKE_BINARY_DIR}/clockward-untrust.cab)
# What is made from the signed image goes first: a failed signing must not leave any of it looking current.
add_custom_command(OUTPUT ${CLOCKWARD_SIGNED_DEVICE_IMAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${CLOCKWARD_UNSIGNED_CAB} ${CLOCKWARD_CAB} ${CLOCKWARD_HAND_COPY_DIR}/clockward.exe
    COMMAND ${PACKAGING} packaging.sign ${CLOCKWARD_DEVICE_IMAGE} ${CLOCKWARD_SIGNED_DEVICE_IMAGE} ${SIGN_WITH}
    DEPENDS ${CLOCKWARD_DEVICE_IMAGE} ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
    COMMENT "Signing clockward.exe (Authenticode, SHA-1)"
    VERBATIM)
add_custom_target(signed_device_image ALL DEPENDS ${CLOCKWARD_SIGNED_DEVICE_IMAGE})

add_custom_command(OUTPUT ${CLOCKWARD_UNSIGNED_CAB} ${CLOCKWARD_CAB}
    COMMAND ${PACKAGING} packaging.installer_cab ${CLOCKWARD_SIGNED_DEVICE_IMAGE} ${CLOCKWARD_UNSIGNED_CAB} ${CLOCKWARD_CAB}
            --member-time ${BUILD_TIME_STAMP} ${SIGN_WITH}
    DEPENDS ${CLOCKWARD_SIGNED_DEVICE_IMAGE} ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
    COMMENT "Packing and signing the installer cabinet clockward.cab"
    VERBATIM)
add_custom_target(installer_cab ALL DEPENDS ${CLOCKWARD_CAB})

# Not written (and said so) when the signing chain's root is not given; then this step runs again at every build.
add_custom_command(OUTPUT ${CLOCKWARD_TRUST_CABS}
    COMMAND ${PACKAGING} packaging.trust_cabs ${CMAKE_BINARY_DIR} --member-time ${BUILD_TIME_STAMP} ${SIGN_WITH}
    DEPENDS ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
    COMMENT "Writing clockward-trust.cab and clockward-untrust.cab"
    VERBATIM)
add_custom_target(trust_cabs ALL DEPENDS ${CLOCKWARD_TRUST_CABS})

add_custom_command(OUTPUT ${CLOCKWARD_HAND_COPY_DIR}/clockward.exe ${CLOCKWARD_HAND_COPY_DIR}/Clockward.lnk
    COMMAND ${PACKAGING} packaging.hand_copy ${CLOCKWARD_HAND_COPY_DIR} ${CLOCKWARD_SIGNED_DEVICE_IMAGE}
    DEPENDS ${CLOCKWARD_SIGNED_DEVICE_IMAGE} ${PACKAGING_SOURCES}
    COMMENT "Writing phone-copy/, the signed program and its StartUp shortcut to copy by hand"
    VERBATIM)
add_custom_target(hand_copy ALL DEPENDS ${CLOCKWARD_HAND_COPY_DIR}/clockward.exe)
