# Cross build for the phone: ARMv4T code (ARM state) from Debian's gcc-arm-none-eabi, freestanding.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)
set(CMAKE_OBJCOPY arm-none-eabi-objcopy CACHE FILEPATH "objcopy for the ARM target")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# -fno-short-enums: the platform's structures use int-sized enums, unlike the bare-metal EABI default.
set(CLOCKWARD_DEVICE_FLAGS "-marm -march=armv4t -mfloat-abi=soft -ffreestanding -fno-common -ffunction-sections -fdata-sections -fno-short-enums")
set(CMAKE_C_FLAGS_INIT "${CLOCKWARD_DEVICE_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${CLOCKWARD_DEVICE_FLAGS} -fno-exceptions -fno-rtti -fno-unwind-tables -fno-asynchronous-unwind-tables -fno-threadsafe-statics -fno-use-cxa-atexit")
set(CMAKE_ASM_FLAGS_INIT "-marm -march=armv4t")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
