"""The files of a signing identity's folder, named here alone for the packaging commands, the maker and the
build (which reads the list as `python3 -m clockward_packaging.signing.identity_files`)."""
CA, CA_KEY, SIGNER, SIGNER_KEY = "ca.pem", "ca.key", "signer.pem", "signer.key"
ALL = (CA, CA_KEY, SIGNER, SIGNER_KEY)  # in the order the maker takes them
KEYS = (CA_KEY, SIGNER_KEY)
# What signing reads of an identity: the build signs again when one of them changes.
READ_WHEN_SIGNING = (SIGNER, SIGNER_KEY, CA)

if __name__ == "__main__":
    print(";".join(READ_WHEN_SIGNING), end="")
