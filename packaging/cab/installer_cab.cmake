# The installer cabinet: the signed image and the installer's two descriptions of it, packed by our
# own writer with the per-folder reserve signed Windows Mobile cabinets carry, then signed with the
# image's certificate by our own cabinet signer. Writes clockward-unsigned.cab and clockward.cab; and
# phone-copy/, the signed image and a StartUp shortcut to copy onto the phone by hand.
if(NOT CLOCKWARD_SIGNING_AVAILABLE)
    message(WARNING "no signed image, so no installer cabinet (clockward.cab is not built)")
    return()
endif()

# Member dates, like the image's time stamp.
set(CAB_MEMBER_TIME ${BUILD_TIME_STAMP})

set(INSTALLER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(INSTALLER_TABLE ${INSTALLER_DIR}/installer_table.py ${INSTALLER_DIR}/ce_folders.py)
# clockward-unsigned.cab and clockward.cab are named where the image is signed, which removes them
# first: a failed signing or packaging must not leave the cabinet of an earlier build looking current.
add_custom_command(OUTPUT ${CLOCKWARD_UNSIGNED_CAB}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${CLOCKWARD_CAB}
    COMMAND bash ${INSTALLER_DIR}/make_cab.sh ${CLOCKWARD_SIGNED_EXE} ${CLOCKWARD_UNSIGNED_CAB} ${CAB_MEMBER_TIME}
    DEPENDS ${CLOCKWARD_SIGNED_EXE} ${INSTALLER_DIR}/make_cab.sh ${INSTALLER_DIR}/write_installer_cab.py
            ${INSTALLER_DIR}/cabinet_writer.py ${INSTALLER_DIR}/cab_format.py ${INSTALLER_DIR}/installer_header.py ${INSTALLER_DIR}/setup_xml.py
            ${INSTALLER_TABLE}
    COMMENT "Packing the installer cabinet clockward-unsigned.cab"
    VERBATIM)
clockward_sign(${CLOCKWARD_UNSIGNED_CAB} ${CLOCKWARD_CAB} clockward.cab)
add_custom_target(installer_cab ALL DEPENDS ${CLOCKWARD_CAB})

add_custom_command(OUTPUT ${CLOCKWARD_HAND_COPY_DIR}/clockward.exe ${CLOCKWARD_HAND_COPY_DIR}/Clockward.lnk
    COMMAND /usr/bin/python3 ${INSTALLER_DIR}/write_hand_copy.py ${CLOCKWARD_HAND_COPY_DIR} ${CLOCKWARD_SIGNED_EXE}
    DEPENDS ${CLOCKWARD_SIGNED_EXE} ${INSTALLER_DIR}/write_hand_copy.py ${INSTALLER_TABLE}
    COMMENT "Writing phone-copy/, the signed program and its StartUp shortcut to copy by hand"
    VERBATIM)
add_custom_target(hand_copy ALL DEPENDS ${CLOCKWARD_HAND_COPY_DIR}/clockward.exe)
