# The device build whose files the host build's emulation tests run (cmake/device_images.cmake lists
# them): the one CLOCKWARD_DEVICE_BUILD names (scripts/run_all_tests.sh hands over the device preset's,
# so that a full run builds the image once and every check reads the same file), else one configured
# like the device preset inside this build tree, in device/. Either way the host build brings those
# files up to date before the tests that read them. Skipped, with a message, without the cross compiler.
set(CLOCKWARD_DEVICE_BUILD "" CACHE PATH "A configured device build whose images the emulation tests run (empty: one in this build tree)")
find_program(ARM_CROSS_COMPILER arm-none-eabi-g++)
find_program(OSSLSIGNCODE_FOR_DEVICE osslsigncode)
if(NOT ARM_CROSS_COMPILER OR NOT OSSLSIGNCODE_FOR_DEVICE)
    message(STATUS "arm-none-eabi-g++ or osslsigncode not found: the device image's emulation tests are skipped")
    set(DEVICE_BUILD_AVAILABLE OFF)
    return()
endif()

if(CLOCKWARD_DEVICE_BUILD)
    set(DEVICE_BUILD_DIR ${CLOCKWARD_DEVICE_BUILD})
    if(NOT EXISTS ${DEVICE_BUILD_DIR}/CMakeCache.txt)
        message(FATAL_ERROR "CLOCKWARD_DEVICE_BUILD (${DEVICE_BUILD_DIR}) is not a configured build: configure it (cmake --preset device) or set CLOCKWARD_DEVICE_BUILD empty")
    endif()
    set(device_configured)
else()
    set(DEVICE_BUILD_DIR ${CMAKE_BINARY_DIR}/device)
    # Configured once, until a configure succeeds (build.ninja: the device preset generates for Ninja);
    # from then on the device build reconfigures itself when its sources change.
    set(device_configured ${DEVICE_BUILD_DIR}/build.ninja)
    add_custom_command(OUTPUT ${device_configured}
        COMMAND ${CMAKE_COMMAND} --preset device -B ${DEVICE_BUILD_DIR} > /dev/null
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Configuring the device build in ${DEVICE_BUILD_DIR}"
        VERBATIM)
endif()
device_build_files(${DEVICE_BUILD_DIR})
# No byproducts declared: cleaning this build must not delete another build's files.
add_custom_target(device_build
    COMMAND ${CMAKE_COMMAND} --build ${DEVICE_BUILD_DIR} --target ${DEVICE_BUILD_TARGETS}
    DEPENDS ${device_configured}
    COMMENT "Bringing the device images in ${DEVICE_BUILD_DIR} up to date"
    VERBATIM)
set(DEVICE_BUILD_AVAILABLE ON)
