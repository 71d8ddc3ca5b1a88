"""The cabinets that teach a phone to trust the signer and undo it: their documents against the provisioning
grammar and a hand-written expectation, the root they carry against the chain in the signed program (read by
openssl), and a lasting identity that gives every build folder the same root."""
import os
import re
import stat
import struct
import tempfile
import unittest

from cryptography import x509

from fixtures import (CUSTOM_CERTIFICATE, SIGNED, UNSIGNED, Scratch, check_ran, check_said, cmake_build, configure, der,
                      env, make_pfx, members, openssl, packaging, part_identity, read, run, signature_pem,
                      signer_and_root, write)

DTD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "provisioning.dtd")
STORE = "Privileged Execution Trust Authorities"


def expected(inner):
    """A document for the privileged execution store: two-space indent, CRLF, no declaration."""
    lines = ['<wap-provisioningdoc>', '  <characteristic type="CertificateStore">',
             f'    <characteristic type="{STORE}">', *("      " + line for line in inner),
             '    </characteristic>', '  </characteristic>', '</wap-provisioningdoc>', '']
    return "\r\n".join(lines).encode("ascii")


def root_by_openssl(signed_image):
    """(SHA-1 thumbprint, base64 DER) of the self-signed certificate in the image's signature, as openssl reads it."""
    chain = re.findall(r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----\n",
                       openssl("pkcs7", "-print_certs", input=signature_pem(signed_image)), re.S)
    for certificate in chain:
        names = openssl("x509", "-noout", "-subject", "-issuer", "-nameopt", "compat", input=certificate).splitlines()
        if names[0].split("=", 1)[1] == names[1].split("=", 1)[1]:
            fingerprint = openssl("x509", "-noout", "-fingerprint", "-sha1", input=certificate).strip()
            body = "".join(certificate.splitlines()[1:-1])
            return fingerprint.split("=", 1)[1].replace(":", ""), body
    return None


class TrustCabinets(Scratch):
    """The cabinets of an identity made here: the build's throwaway CA gets none."""
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.identity = cls.path("identity")
        for command, *args in (("signing_identity", cls.identity, "--member-time", "0"),
                               ("sign", UNSIGNED(), cls.path("signed.exe"), "--identity", cls.identity),
                               ("trust_cabs", cls.tmp.name, "--member-time", "0", "--identity", cls.identity)):
            made = packaging(command, *args)
            assert made.returncode == 0, made.stderr
        cls.trust, cls.untrust = cls.path("clockward-trust.cab"), cls.path("clockward-untrust.cab")

    def test_documents_add_exactly_the_signing_root_and_remove_exactly_it(self):
        thumbprint, certificate = root_by_openssl(self.path("signed.exe"))
        self.assertRegex(thumbprint, "^[0-9A-F]{40}$")
        documents = {self.trust: expected([f'<characteristic type="{thumbprint}">',
                                           f'  <parm name="EncodedCertificate" value="{certificate}" />',
                                           '  <parm name="Role" value="222" />', '</characteristic>']),
                     self.untrust: expected([f'<nocharacteristic type="{thumbprint}" />'])}
        for cab, document in documents.items():
            with self.subTest(os.path.basename(cab)):
                # A provisioning cabinet: the document alone; one folder, uncompressed, no reserve, unsigned.
                self.assertEqual({"_setup.xml": document}, members(cab))
                self.assertEqual((1, 1, 0, 0), struct.unpack_from("<HHH", read(cab), 26) + struct.unpack_from("<H", read(cab), 42))
        # Kept with the key when the identity was made; the build folder's is the same.
        self.assertEqual(read(self.untrust), read(os.path.join(self.identity, "clockward-untrust.cab")))
        if not CUSTOM_CERTIFICATE:
            self.assertFalse(os.path.exists(env("CLOCKWARD_TRUST_CAB")), "a trust cabinet for the throwaway CA")

    def test_documents_follow_the_provisioning_grammar(self):
        for cab in (self.trust, self.untrust, env("CLOCKWARD_CAB"), env("CLOCKWARD_UNSIGNED_CAB")):
            with self.subTest(os.path.basename(cab)), tempfile.TemporaryDirectory() as tmp:
                document = write(os.path.join(tmp, "_setup.xml"), members(cab)["_setup.xml"])
                result = run("xmllint", "--noout", "--dtdvalid", DTD, document, check=False)
                self.assertEqual(("", 0), (result.stderr, result.returncode))


@unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
class Identity(Scratch):
    def test_two_build_folders_with_one_identity_share_the_root_and_the_trust_cabinets(self):
        identity = self.path("home", "clockward-identity")
        roots, trust = [], []
        for folder in (self.path("clone-a", "build"), self.path("elsewhere", "build")):
            check_ran(self, configure(folder, IDENTITY=identity))
            check_ran(self, cmake_build(folder, "signed_exes", "trust_cabs"))
            roots.append(der(signer_and_root(os.path.join(folder, "clockward-signed.exe"))[1]))
            trust.append([read(os.path.join(folder, name)) for name in ("clockward-trust.cab", "clockward-untrust.cab")])
        # Made by the first configure, for its owner alone; the second signs with the same.
        self.assertEqual(0o700, stat.S_IMODE(os.stat(identity).st_mode))
        self.assertEqual({0o600}, {stat.S_IMODE(os.stat(os.path.join(identity, f)).st_mode) for f in os.listdir(identity)})
        self.assertEqual([der(x509.load_pem_x509_certificate(bytes(read(os.path.join(identity, "ca.pem")))))] * 2, roots)
        self.assertEqual(trust[0], trust[1])
        self.assertNotEqual(der(signer_and_root(SIGNED())[1]), roots[0])

    def test_configure_says_which_identity_in_one_line(self):
        part, repo, source = part_identity(self.path("part")), self.path("repo"), env("SOURCE_DIR")
        pfx = self.path("own.pfx")
        run("git", "init", "-q", repo)
        make_pfx(pfx)
        build = lambda name: self.path("builds", name)  # noqa: E731
        cases = {  # where configure runs, the signing settings: what it says, whether it goes on
            "in the build tree": (None, dict(IDENTITY=os.path.join(build("in the build tree"), "identity")),
                                  f"{build('in the build tree')}/identity lies inside the build tree", False),
            "part of an identity": (None, dict(IDENTITY=part), f"the signing identity {part} has no ca.key", False),
            "relative, in the source tree": (source, dict(IDENTITY="relident"),
                                             f"{source}/relident lies inside the source tree {source}: one `git add", False),
            "relative, in a git work tree": (repo, dict(IDENTITY="identity"),
                                             f"{repo}/identity lies inside the git work tree {repo}: one `git add", False),
            "a PFX before an identity": (None, dict(IDENTITY=self.path("unmade"), PFX=pfx), f"Signing with {pfx}\n", True),
            "the throwaway CA": (None, {}, "No trust cabinets: a phone taught to trust this throwaway CA", True),
        }
        for name, (cwd, settings, said, goes_on) in cases.items():
            with self.subTest(name):
                configured = configure(build(name), cwd=cwd, **settings)
                self.assertEqual(goes_on, configured.returncode == 0, configured.stderr)
                self.assertIn(said, configured.stdout + " ".join(configured.stderr.split()))
        made = [os.path.join(part, "ca.key"), os.path.join(source, "relident"), os.path.join(repo, "identity"),
                self.path("unmade")]
        self.assertEqual([], [path for path in made if os.path.exists(path)])

    def test_without_the_chains_root_no_trust_cabinets_and_one_line(self):
        out = self.path("no-root")
        os.makedirs(out)
        stale = [write(os.path.join(out, name), b"earlier") for name in ("clockward-trust.cab", "clockward-untrust.cab")]
        pfx = self.path("without-ca.pfx")
        make_pfx(pfx, "pass:", with_ca=False)
        check_said(self, packaging("trust_cabs", out, "--pfx", pfx),
                   f"trust: the root of the chain that signs ({pfx}) is not given", stale, failed=False)
