# The device build's files that the device build's own checks and the host build's emulation tests read,
# one line each: the variable naming the file (also the name the checks receive it under), the device
# build's target that writes it, and its place in the device build.
set(DEVICE_BUILD_FILES
    "CLOCKWARD_DEVICE_IMAGE clockward_exe clockward.exe"
    "CLOCKWARD_SIGNED_DEVICE_IMAGE signed_exes clockward-signed.exe"
    "CLOCKWARD_DEVICE_ELF clockward_elf platform/device/clockward.elf"
    "CHECK_DEVICE_IMAGE check_exe clockward-check.exe"
    "CHECK_SIGNED_DEVICE_IMAGE signed_exes clockward-check-signed.exe"
    "CHECK_DEVICE_ELF check_elf platform/device/clockward-check.elf"
    "UNDO_DEVICE_IMAGE undo_exe clockward-undo.exe"
    "UNDO_SIGNED_DEVICE_IMAGE signed_exes clockward-undo-signed.exe"
    "UNDO_DEVICE_ELF undo_elf platform/device/clockward-undo.elf")

# Sets each variable above to its file in the device build at dir; DEVICE_BUILD_VARIABLES and
# DEVICE_BUILD_TARGETS list the variables and the targets.
macro(device_build_files dir)
    set(DEVICE_BUILD_VARIABLES)
    set(DEVICE_BUILD_TARGETS)
    foreach(line IN LISTS DEVICE_BUILD_FILES)
        string(REPLACE " " ";" fields "${line}")
        list(GET fields 0 variable)
        list(GET fields 1 target)
        list(GET fields 2 file)
        set(${variable} ${dir}/${file})
        list(APPEND DEVICE_BUILD_VARIABLES ${variable})
        list(APPEND DEVICE_BUILD_TARGETS ${target})
    endforeach()
    list(REMOVE_DUPLICATES DEVICE_BUILD_TARGETS)
endmacro()
