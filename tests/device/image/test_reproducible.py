"""Two clean builds from the same sources and certificate write byte-identical images and cabinets."""
import os
import struct
import subprocess
import tempfile
import time
import unittest

from image_tools import UNSIGNED, configure_command, env, read

OUTPUTS = ["clockward.exe", "clockward-signed.exe", "clockward-check.exe", "clockward-check-signed.exe",
           "clockward-undo.exe", "clockward-undo-signed.exe",
           "clockward-unsigned.cab", "clockward.cab"]


def clean_build(build_dir, environment):
    for command in (configure_command(build_dir),
                    ["cmake", "--build", build_dir, "--target", "installer_cab", "unsigned_cab"]):
        subprocess.run(command, check=True, capture_output=True, env=environment)
    return {name: read(os.path.join(build_dir, name)) for name in OUTPUTS}


def without_time_stamp(image):
    """The image with its COFF TimeDateStamp, which SOURCE_DATE_EPOCH sets, blanked."""
    data = bytearray(image)
    struct.pack_into("<I", data, struct.unpack_from("<I", data, 0x3C)[0] + 8, 0)
    return bytes(data)


class Reproducible(unittest.TestCase):
    @unittest.skipIf(os.environ.get("CLOCKWARD_SIGN_CUSTOM") == "1", "no test certificate in a build signed with the user's own")
    def test_two_clean_builds_are_identical(self):
        # The same certificate for both (a fresh throwaway one would differ) and one fixed time for
        # the image's time stamp, the signing time and the cabinet's member dates.
        certs = os.path.dirname(env("TEST_CA"))
        environment = dict(os.environ, SOURCE_DATE_EPOCH=str(int(time.time())),
                           CLOCKWARD_SIGN_CERT=os.path.join(certs, "signer.pem"),
                           CLOCKWARD_SIGN_KEY=os.path.join(certs, "signer.key"))
        with tempfile.TemporaryDirectory() as first, tempfile.TemporaryDirectory() as second:
            a = clean_build(os.path.join(first, "build"), environment)
            b = clean_build(os.path.join(second, "elsewhere", "build"), environment)
        for name in OUTPUTS:
            self.assertEqual(a[name], b[name], name)
        self.assertEqual(without_time_stamp(a["clockward.exe"]), without_time_stamp(read(UNSIGNED())))


if __name__ == "__main__":
    unittest.main()
