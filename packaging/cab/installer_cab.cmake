# The installer cabinet: the signed image and a boot-time shortcut to it, packed by gcab, then signed
# like the image. Writes clockward-unsigned.cab and clockward.cab.
if(NOT CLOCKWARD_SIGNING_AVAILABLE)
    message(WARNING "no signed image, so no installer cabinet (clockward.cab is not built)")
    return()
endif()

# Member dates, like the image's time stamp.
set(CAB_MEMBER_TIME ${BUILD_TIME_STAMP})

set(INSTALLER_DIR ${CMAKE_CURRENT_LIST_DIR})
# clockward-unsigned.cab and clockward.cab are named where the image is signed, which removes them
# first: a failed signing or packaging must not leave the cabinet of an earlier build looking current.
add_custom_command(OUTPUT ${CLOCKWARD_UNSIGNED_CAB}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${CLOCKWARD_CAB}
    COMMAND bash ${INSTALLER_DIR}/make_cab.sh ${CLOCKWARD_SIGNED_EXE} ${CLOCKWARD_UNSIGNED_CAB} ${CAB_MEMBER_TIME}
    DEPENDS ${CLOCKWARD_SIGNED_EXE} ${INSTALLER_DIR}/make_cab.sh ${INSTALLER_DIR}/write_installer_members.py
    COMMENT "Packing the installer cabinet clockward-unsigned.cab"
    VERBATIM)
clockward_sign(${CLOCKWARD_UNSIGNED_CAB} ${CLOCKWARD_CAB} clockward.cab)
add_custom_target(installer_cab ALL DEPENDS ${CLOCKWARD_CAB})
