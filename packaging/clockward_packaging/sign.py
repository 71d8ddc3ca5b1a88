"""Signs the program image (with osslsigncode) or a cabinet (with our own signer, which keeps the folder
reserve osslsigncode refuses) with an Authenticode SHA-1 signature, the only digest Windows Mobile 6 checks.

Usage: python3 -m clockward_packaging.sign IN OUT (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE])
                                 [--time UNIX_TIME]
The password of a PFX or an encrypted key comes from the file CLOCKWARD_SIGN_PASSWORD_FILE names, or from
CLOCKWARD_SIGN_PASSWORD. Writes OUT whole or not at all; a failure is one line starting "sign: ".
"""
from clockward_packaging.command import parse, run, seconds
from clockward_packaging.errors import SignError
from clockward_packaging.output_files import keep_inputs, remove

USAGE = "python3 -m clockward_packaging.sign IN OUT (--pfx FILE | --identity FOLDER | --cert FILE --key FILE [--ac FILE])"


def read_input(source):
    try:
        with open(source, "rb") as f:
            return f.read()
    except OSError as error:
        raise SignError(f"cannot read {source}: nothing to sign ({error.strerror})") from None


def main(argv):
    from clockward_packaging.signing import credentials, sign_file  # when run: see command.run
    (source, out), options = parse(argv, 2, USAGE, credentials.OPTIONS)
    keep_inputs([out], [source, *credentials.files_read(options)])
    remove(out)  # when anything below fails, no output of an earlier run may look current
    data = read_input(source)  # before the credentials: a missing input is said first
    sign_file.sign(source, data, out, sign_file.load_and_warn(options), seconds(options, "--time"))


if __name__ == "__main__":
    run(main, "sign")
