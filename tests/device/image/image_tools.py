"""Where the device image tests find the built files and the binutils they use (from the environment CTest sets), and how they configure a scratch build."""
import os
import struct
import sys


def env(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set: run these tests through CTest in the device build")
    return value


def configure_command(build_dir, *options):
    """The command that configures a scratch device build of these sources in build_dir."""
    return ["cmake", "-S", env("SOURCE_DIR"), "-B", build_dir, "-G", "Ninja",
            f"-DCMAKE_TOOLCHAIN_FILE={env('TOOLCHAIN_FILE')}", "-DCMAKE_BUILD_TYPE=MinSizeRel",
            f"-DPython3_EXECUTABLE={sys.executable}", *options]


def patched(good, *patches):
    """A copy of the image with each (offset, struct format, value) written into it."""
    data = bytearray(good)
    for offset, fmt, value in patches:
        struct.pack_into(fmt, data, offset, value)
    return data


def read(path):
    with open(path, "rb") as f:
        return bytearray(f.read())


UNSIGNED = lambda: env("CLOCKWARD_DEVICE_IMAGE")
SIGNED = lambda: env("CLOCKWARD_SIGNED_DEVICE_IMAGE")
ELF = lambda: env("CLOCKWARD_DEVICE_ELF")
CHECK_UNSIGNED = lambda: env("CHECK_DEVICE_IMAGE")
CHECK_SIGNED = lambda: env("CHECK_SIGNED_DEVICE_IMAGE")
CHECK_ELF = lambda: env("CHECK_DEVICE_ELF")
UNDO_UNSIGNED = lambda: env("UNDO_DEVICE_IMAGE")
UNDO_SIGNED = lambda: env("UNDO_SIGNED_DEVICE_IMAGE")
UNDO_ELF = lambda: env("UNDO_DEVICE_ELF")
NM = lambda: env("ARM_NM")
OBJDUMP = lambda: env("ARM_OBJDUMP")
OBJCOPY = lambda: env("ARM_OBJCOPY")
READELF = lambda: env("ARM_READELF")
READOBJ = lambda: env("LLVM_READOBJ")
