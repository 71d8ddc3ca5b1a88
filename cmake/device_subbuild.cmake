# The host build also builds the device image (a cross sub-build), so that the emulation tests can
# run the very file that goes to the phone. Skipped, with a message, without the cross compiler.
find_program(ARM_CROSS_COMPILER arm-none-eabi-g++)
find_program(OSSLSIGNCODE_FOR_DEVICE osslsigncode)
set(DEVICE_SUBBUILD_DIR ${CMAKE_BINARY_DIR}/device)
if(NOT ARM_CROSS_COMPILER OR NOT OSSLSIGNCODE_FOR_DEVICE)
    message(STATUS "arm-none-eabi-g++ or osslsigncode not found: the device image and its emulation tests are skipped")
    set(DEVICE_SUBBUILD_AVAILABLE OFF)
    return()
endif()
include(ExternalProject)
ExternalProject_Add(device_subbuild
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${DEVICE_SUBBUILD_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-armv4t-wince.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target device_image signed_device_image
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${DEVICE_SUBBUILD_DIR}/clockward.exe ${DEVICE_SUBBUILD_DIR}/clockward-signed.exe)
set(DEVICE_SUBBUILD_AVAILABLE ON)
