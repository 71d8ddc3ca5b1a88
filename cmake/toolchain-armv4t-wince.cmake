# Cross build for the phone from Debian's gcc-arm-none-eabi: ARMv4I, that is ARMv4T with interworking.
# The C++ code is Thumb-1 and link-time optimised to keep the image small; the entry point and the
# callbacks the platform calls are ARM code (platform/device/arm_entry_points.S).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
set(CMAKE_OBJCOPY arm-none-eabi-objcopy CACHE FILEPATH "objcopy for the ARM target")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)

# -fno-short-enums: the platform's structures use int-sized enums, unlike the bare-metal EABI default.
# -nostdlib at link time keeps the C library out; strlen and memcpy may be expanded as builtins, and
# what is left of them comes from coredll.
set(CLOCKWARD_DEVICE_FLAGS "-mthumb -march=armv4t -mthumb-interwork -mfloat-abi=soft -fno-common -ffunction-sections -fdata-sections -fno-short-enums")
set(CMAKE_C_FLAGS_INIT "${CLOCKWARD_DEVICE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${CLOCKWARD_DEVICE_FLAGS} -fno-exceptions -fno-rtti -fno-unwind-tables -fno-asynchronous-unwind-tables -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-march=armv4t -mthumb-interwork")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
