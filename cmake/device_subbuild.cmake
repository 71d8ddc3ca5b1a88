# The host builds also build the device image (a cross build), so that the emulation tests run the
# very file that goes to the phone. They build it in the device preset's own folder, build/device,
# configuring it first when needed: one test run builds the image once for every preset, and any
# preset still builds alone. Skipped, with a message, without the cross compiler.
find_program(ARM_CROSS_COMPILER arm-none-eabi-g++)
find_program(OSSLSIGNCODE_FOR_DEVICE osslsigncode)
set(DEVICE_SUBBUILD_DIR ${PROJECT_SOURCE_DIR}/build/device)
if(NOT ARM_CROSS_COMPILER OR NOT OSSLSIGNCODE_FOR_DEVICE)
    message(STATUS "arm-none-eabi-g++ or osslsigncode not found: the device image and its emulation tests are skipped")
    set(DEVICE_SUBBUILD_AVAILABLE OFF)
    return()
endif()
add_custom_target(device_subbuild
    COMMAND ${CMAKE_COMMAND} --preset device > /dev/null
    COMMAND ${CMAKE_COMMAND} --build --preset device --target device_image signed_device_image check_image
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    BYPRODUCTS ${DEVICE_SUBBUILD_DIR}/clockward.exe ${DEVICE_SUBBUILD_DIR}/clockward-signed.exe ${DEVICE_SUBBUILD_DIR}/clockward-check.exe
    VERBATIM)
set(DEVICE_SUBBUILD_AVAILABLE ON)
