# What the device build writes around the images, each by one packaging command (python3 -m clockward_packaging.*),
# at the top of the build folder what an owner may put on a phone: clockward-signed.exe,
# clockward-check-signed.exe and clockward-undo-signed.exe, the signed installer cabinet clockward.cab and clockward-unsigned.cab (the
# same with nothing signed, for phones that ask), the cabinets that teach a phone to trust a lasting
# signer and undo it (clockward-trust.cab, clockward-untrust.cab), and phone-copy/, the signed programs
# and their shortcuts to copy onto the phone by hand. The packaging's own work lies in work/.
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
if(NOT OSSLSIGNCODE OR NOT OPENSSL)
    message(WARNING "osslsigncode or openssl not found: nothing is signed (clockward-signed.exe and the cabinets are not built)")
    return()
endif()

# The build's Python (cmake/python.cmake); PYTHONPATH makes packaging/clockward_packaging importable.
set(PACKAGING_ROOT ${CMAKE_CURRENT_LIST_DIR})
set(PACKAGING ${CMAKE_COMMAND} -E env PYTHONPATH=${PACKAGING_ROOT} PYTHONDONTWRITEBYTECODE=1)
if(CLOCKWARD_SIGN_PASSWORD_FILE)
    # A password file named when configuring is handed over; otherwise the build's own environment is read.
    list(APPEND PACKAGING CLOCKWARD_SIGN_PASSWORD_FILE=${CLOCKWARD_SIGN_PASSWORD_FILE})
endif()
list(APPEND PACKAGING ${Python3_EXECUTABLE} -m)
file(GLOB_RECURSE PACKAGING_SOURCES CONFIGURE_DEPENDS ${PACKAGING_ROOT}/clockward_packaging/*.py
     ${PACKAGING_ROOT}/clockward_packaging/*.sh)

# The files of an identity folder that signing reads, as the packaging names them.
execute_process(COMMAND ${PACKAGING} clockward_packaging.signing.identity_files
                RESULT_VARIABLE failed OUTPUT_VARIABLE IDENTITY_FILES ERROR_VARIABLE why)
if(failed)
    message(FATAL_ERROR "${why}")
endif()

set(PACKAGING_WORK_DIR ${CMAKE_BINARY_DIR}/work)
set(TEST_SIGNING_DIR ${PACKAGING_WORK_DIR}/test-signing)
unset(identity)
set(throwaway_signer OFF)
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
    # Made now, not as a build step, so that cleaning the build can never delete it; refused inside this
    # build or source tree or any git work tree. A relative folder (from the environment) is taken from
    # where configure runs, and kept absolute, since the build configures again from its own folder.
    execute_process(COMMAND ${PACKAGING} clockward_packaging.signing_identity ${CLOCKWARD_SIGN_IDENTITY}
                            --source-tree ${PROJECT_SOURCE_DIR} --build-tree ${CMAKE_BINARY_DIR}
                            --member-time ${BUILD_TIME_STAMP}
                    RESULT_VARIABLE failed OUTPUT_VARIABLE identity ERROR_VARIABLE said
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(failed)
        message(FATAL_ERROR "${said}")
    endif()
    if(said)
        message(STATUS "${said}")
    endif()
    set_property(CACHE CLOCKWARD_SIGN_IDENTITY PROPERTY VALUE ${identity})
    message(STATUS "Signing with the identity in ${identity}")
else()
    set(identity ${TEST_SIGNING_DIR})
    set(throwaway_signer ON)
    list(TRANSFORM IDENTITY_FILES PREPEND ${TEST_SIGNING_DIR}/ OUTPUT_VARIABLE made)
    add_custom_command(OUTPUT ${made}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${TEST_SIGNING_DIR}
        COMMAND ${PACKAGING} clockward_packaging.signing_identity ${TEST_SIGNING_DIR} --throwaway
        DEPENDS ${PACKAGING_ROOT}/clockward_packaging/signing/make_certificates.sh
        COMMENT "Making a throwaway SHA-1 test CA and code-signing certificate"
        VERBATIM)
    message(STATUS "Signing with a throwaway test certificate (${TEST_SIGNING_DIR})")
    message(STATUS "No trust cabinets: a phone taught to trust this throwaway CA would trust whoever holds "
                   "this build folder, and it changes with every build folder; make a lasting identity "
                   "(-DCLOCKWARD_SIGN_IDENTITY=$HOME/.clockward-identity) to get them")
endif()
if(identity)
    set(SIGN_WITH --identity ${identity})
    list(TRANSFORM IDENTITY_FILES PREPEND ${identity}/ OUTPUT_VARIABLE SIGN_DEPENDS)
endif()
# Reproducible builds: SOURCE_DATE_EPOCH, read when configuring like the image's time stamp, is the
# signing time; it (or 0) is also every cabinet member's date.
if(BUILD_TIME_STAMP_GIVEN)
    list(APPEND SIGN_WITH --time ${BUILD_TIME_STAMP})
endif()

set(CLOCKWARD_CAB ${CMAKE_BINARY_DIR}/clockward.cab)
set(CLOCKWARD_UNSIGNED_CAB ${CMAKE_BINARY_DIR}/clockward-unsigned.cab)
set(CLOCKWARD_HAND_COPY_DIR ${CMAKE_BINARY_DIR}/phone-copy)
set(CLOCKWARD_TRUST_CABS ${CMAKE_BINARY_DIR}/clockward-trust.cab ${CMAKE_BINARY_DIR}/clockward-untrust.cab)
# The programs are signed alike, in one step: the signed images and what is made from them go first,
# whole, so that a failed signing leaves none of it looking current; one step, as two removing the same
# folder side by side fail each other.
# The images in the order the installer table lists the files, which is the order the commands take them in.
set(DEVICE_IMAGES ${CLOCKWARD_DEVICE_IMAGE} ${CHECK_DEVICE_IMAGE} ${UNDO_DEVICE_IMAGE})
set(SIGNED_DEVICE_IMAGES ${CLOCKWARD_SIGNED_DEVICE_IMAGE} ${CHECK_SIGNED_DEVICE_IMAGE} ${UNDO_SIGNED_DEVICE_IMAGE})
set(SIGN_IMAGES)
foreach(image signed IN ZIP_LISTS DEVICE_IMAGES SIGNED_DEVICE_IMAGES)
    list(APPEND SIGN_IMAGES COMMAND ${PACKAGING} clockward_packaging.sign ${image} ${signed} ${SIGN_WITH})
endforeach()
add_custom_command(OUTPUT ${SIGNED_DEVICE_IMAGES}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${SIGNED_DEVICE_IMAGES} ${CLOCKWARD_CAB} ${CLOCKWARD_HAND_COPY_DIR}
    ${SIGN_IMAGES}
    DEPENDS ${DEVICE_IMAGES} ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
    COMMENT "Signing clockward.exe, clockward-check.exe and clockward-undo.exe (Authenticode, SHA-1)"
    VERBATIM)
add_custom_target(signed_exes ALL DEPENDS ${SIGNED_DEVICE_IMAGES})

add_custom_command(OUTPUT ${CLOCKWARD_CAB}
    COMMAND ${PACKAGING} clockward_packaging.installer_cab ${CLOCKWARD_CAB} ${SIGNED_DEVICE_IMAGES}
            --member-time ${BUILD_TIME_STAMP} ${SIGN_WITH}
    DEPENDS ${SIGNED_DEVICE_IMAGES} ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
    COMMENT "Packing and signing the installer cabinet clockward.cab"
    VERBATIM)
add_custom_target(installer_cab ALL DEPENDS ${CLOCKWARD_CAB})

add_custom_command(OUTPUT ${CLOCKWARD_UNSIGNED_CAB}
    COMMAND ${PACKAGING} clockward_packaging.installer_cab ${CLOCKWARD_UNSIGNED_CAB} ${DEVICE_IMAGES}
            --member-time ${BUILD_TIME_STAMP} --unsigned
    DEPENDS ${DEVICE_IMAGES} ${PACKAGING_SOURCES}
    COMMENT "Packing the unsigned installer cabinet clockward-unsigned.cab"
    VERBATIM)
add_custom_target(unsigned_cab ALL DEPENDS ${CLOCKWARD_UNSIGNED_CAB})

# For a lasting root only (a lasting identity, or a given CA). Not written (and said so) when the signing
# chain's root is not given; then this step runs again at every build.
if(NOT throwaway_signer)
    add_custom_command(OUTPUT ${CLOCKWARD_TRUST_CABS}
        COMMAND ${PACKAGING} clockward_packaging.trust_cabs ${CMAKE_BINARY_DIR} --member-time ${BUILD_TIME_STAMP} ${SIGN_WITH}
        DEPENDS ${SIGN_DEPENDS} ${PACKAGING_SOURCES}
        COMMENT "Writing clockward-trust.cab and clockward-untrust.cab"
        VERBATIM)
    add_custom_target(trust_cabs ALL DEPENDS ${CLOCKWARD_TRUST_CABS})
    install(FILES ${CLOCKWARD_TRUST_CABS} DESTINATION ${CMAKE_INSTALL_DATADIR}/clockward OPTIONAL)
else()
    file(REMOVE ${CLOCKWARD_TRUST_CABS})  # an earlier signer's, which would look current
endif()

add_custom_command(OUTPUT ${CLOCKWARD_HAND_COPY_DIR}
    COMMAND ${PACKAGING} clockward_packaging.hand_copy ${CLOCKWARD_HAND_COPY_DIR} ${SIGNED_DEVICE_IMAGES}
    DEPENDS ${SIGNED_DEVICE_IMAGES} ${PACKAGING_SOURCES}
    COMMENT "Writing phone-copy/, the signed programs and their shortcuts to copy by hand"
    VERBATIM)
add_custom_target(hand_copy ALL DEPENDS ${CLOCKWARD_HAND_COPY_DIR})

# cmake --install: what an owner may put on a phone, in <prefix>/share/clockward (the trust pair above).
install(FILES ${CLOCKWARD_CAB} ${CLOCKWARD_UNSIGNED_CAB} DESTINATION ${CMAKE_INSTALL_DATADIR}/clockward)
install(DIRECTORY ${CLOCKWARD_HAND_COPY_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/clockward)
