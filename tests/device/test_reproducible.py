"""Two clean builds from the same sources write byte-identical unsigned images."""
import os
import subprocess
import tempfile
import unittest

from image_tools import UNSIGNED, env, read


def clean_build(build_dir):
    environment = dict(os.environ)
    environment.pop("SOURCE_DATE_EPOCH", None)
    for command in (["cmake", "-S", env("SOURCE_DIR"), "-B", build_dir, "-G", "Ninja",
                     f"-DCMAKE_TOOLCHAIN_FILE={env('TOOLCHAIN_FILE')}", "-DCMAKE_BUILD_TYPE=MinSizeRel"],
                    ["cmake", "--build", build_dir, "--target", "device_image"]):
        subprocess.run(command, check=True, capture_output=True, env=environment)
    return read(os.path.join(build_dir, "clockward.exe"))


class Reproducible(unittest.TestCase):
    def test_two_clean_builds_are_identical(self):
        with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
            a = clean_build(os.path.join(first, "build"))
            b = clean_build(os.path.join(second, "elsewhere", "build"))
        self.assertEqual(a, b)
        if "SOURCE_DATE_EPOCH" not in os.environ:
            self.assertEqual(a, read(UNSIGNED()))


if __name__ == "__main__":
    unittest.main()
