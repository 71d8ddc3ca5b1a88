"""Every packaging command, its options anywhere on its line, refuses a bad line or input in one line and leaves
every file it was not asked to write byte for byte as it was; its own outputs of an earlier run are removed
once the line is read, whole."""
import hashlib
import os
import pathlib
import shutil
import unittest

from fixtures import (CHECK_SIGNED, CUSTOM_CERTIFICATE, SIGNED, TEST_SIGNING, UNDO_SIGNED, UNSIGNED, Scratch, check_said,
                      make_pfx, packaging, part_identity, run, stub, write)

# What each command writes in the scratch folder: an earlier run's copy is planted before every row.
OUTPUTS = {"sign": ["out"], "installer_cab": ["out"],
           "trust_cabs": ["clockward-trust.cab", "clockward-untrust.cab"], "hand_copy": ["phone-copy"],
           "signing_identity": []}
# A line, its options written after the positional arguments (a trailing option without its value stays
# last), run from the scratch folder; {name} is a path there, a leading NAME=VALUE goes to the environment.
# Then whether the earlier outputs are gone (the line was read) or kept, and the one line said.
ROWS = [
    ("sign {exe} out --cert {cert} --key absent.key", "gone", "sign: cannot read the key absent.key: No such file"),
    ("sign absent.exe out --identity {ident}", "gone", "sign: cannot read absent.exe: nothing to sign"),
    ("sign {exe} out --identity {ident} --time noon", "gone", "sign: --time takes seconds since 1970, not noon"),
    ("sign {exe} out --pfx {pfx} --colour red", "kept", "sign: unknown option --colour"),
    ("sign {exe} out --ident {ident}", "kept", "sign: unknown option --ident"),  # never abbreviated
    ("sign {exe} out --cert {cert} --key", "kept", "sign: --key needs a value"),
    ("sign {exe} out --cert {cert} --key {key} --key {key}", "kept", "sign: --key is given twice"),
    ("sign {exe} --cert {cert} --key {key}", "kept", "sign: usage: python3 -m clockward_packaging.sign IN OUT"),
    ("sign {exe} {cert} --cert {cert} --key {key}", "kept", "sign: the output {cert} is also an input"),
    ("sign {exe} {ident}/signer.key --identity {ident}", "kept", "is also an input: nothing is written"),
    ("installer_cab out {signed} {check} {undo} --member-time 0 --cert {cert} --key absent.key", "gone",
     "sign: cannot read the key absent.key"),
    ("installer_cab out absent.exe {check} {undo} --member-time 0 --unsigned", "gone",
     "cab: the program image absent.exe does not exist"),
    ("installer_cab out {signed} {check} {undo} --identity {ident} --member-time today", "gone",
     "cab: --member-time takes seconds since 1970, not today"),
    ("installer_cab out {signed} {check} {undo} --member-time 0 --identity", "kept", "cab: --identity needs a value"),
    ("installer_cab out {signed} {check} {undo} --identity {ident} --unsigned", "kept",
     "cab: --unsigned and the credentials to sign with exclude each other"),
    ("installer_cab {check} {signed} {check} {undo} --member-time 0 --identity {ident}", "kept",
     "cab: the output {check} is also an input"),
    ("installer_cab {key} {signed} {check} {undo} --member-time 0 --cert {cert} --key {key}", "kept",
     "cab: the output {key} is also an input"),
    ("trust_cabs . --member-time 0 --identity {part}", "gone", "sign: the signing identity {part} has no ca.key"),
    ("trust_cabs . --identity {ident} --member-time 4354819200", "gone", "trust: a cabinet date lies in 1980..2107"),
    # Only the first cabinet's path passes the system's length limit: the second is refused, and the first goes too.
    ("trust_cabs {long} --identity {ident} --member-time 0", "gone", "clockward-untrust.cab: File name too long"),
    ("trust_cabs . . --identity {ident}", "kept", "trust: usage: python3 -m clockward_packaging.trust_cabs OUT_DIR"),
    ("trust_cabs . --member-time 0 --pfx", "kept", "trust: --pfx needs a value"),
    ("hand_copy phone-copy {signed} absent.exe {undo}", "gone", "hand copy: cannot read the program image absent.exe"),
    ("hand_copy phone-copy {signed} {check} {undo} --force yes", "kept", "hand copy: unknown option --force"),
    ("hand_copy . {signed} {check} {undo}", "kept", "hand copy: . holds bin, which this command does not write"),
    ("hand_copy notes {signed} {check} {undo}", "kept", "hand copy: notes holds clockward.txt, which this command does not write"),
    ("hand_copy phone-copy phone-copy/clockward.exe {check} {undo}", "kept", "is also an input: nothing is written"),
    ("signing_identity {part} --build-tree phone-copy", "kept", "sign: the signing identity {part} has no ca.key"),
    ("signing_identity repo/identity --build-tree phone-copy", "kept",
     "sign: the signing identity {root}/repo/identity lies inside the git work tree {root}/repo: one `git add -A`"),
    ("signing_identity repo", "kept", "sign: the signing identity {root}/repo lies inside the git work tree {root}/repo"),
    ("signing_identity worktree/identity", "kept", "lies inside the git work tree {root}/worktree: one `git add -A`"),
    ("signing_identity to-build/identity --build-tree build", "kept",
     "sign: the signing identity {root}/to-build/identity lies inside the build tree build: cleaning the build"),
    ("signing_identity new --source-tree", "kept", "sign: --source-tree needs a value"),
    ("signing_identity new --kind owner", "kept", "sign: unknown option --kind"),
    # A folder whose name starts with the build tree's lies outside it.
    ("PATH={bin} signing_identity new --build-tree ne", "kept",
     "sign: could not make a signing identity in {root}/new: openssl failed"),
]


def arrangements(line):
    """The command, its environment and its arguments with the options at every place among the positional ones."""
    words = line.split()
    environment = dict(w.split("=", 1) for w in words if "=" in w and not w.startswith("-"))
    command, *words = [w for w in words if "=" not in w or w.startswith("-")]
    positional, options, last = [], [], []
    while words:
        word = words.pop(0)
        if not word.startswith("--"):
            positional.append(word)
        elif words and not words[0].startswith("--"):
            options += [word, words.pop(0)]
        else:
            last = [word]
    return command, environment, [positional[:at] + options + positional[at:] + last
                                  for at in range(len(positional) + 1)]


def snapshot(root):
    """Every file and folder under root, with its bytes' digest."""
    found = {}
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root)] = (
                "folder" if os.path.isdir(path) else hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest())
    return found


@unittest.skipIf(CUSTOM_CERTIFICATE, "the test certificate is not built")
class Commands(Scratch):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        root = cls.tmp.name
        shutil.copytree(TEST_SIGNING(), cls.path("ident"))
        part_identity(cls.path("part"))
        make_pfx(cls.path("signer.pfx"), "pass:")
        os.makedirs(cls.path("bin"))
        stub(cls.path("bin", "openssl"), "exit 1\n")
        run("git", "init", "-q", cls.path("repo"))
        os.makedirs(cls.path("worktree"))
        write(cls.path("worktree", ".git"), "gitdir: ../repo/.git/worktrees/worktree\n")  # as git worktree writes it
        os.makedirs(cls.path("build"))
        os.symlink("build", cls.path("to-build"))
        os.makedirs(cls.path("notes"))
        write(cls.path("notes", "clockward.txt"), "not one of the hand copy's files")
        # The scratch folder again, padded with "/." to 4,066 characters: with "/clockward-trust.cab.partial"
        # a path stays within Linux's 4,095, with "/clockward-untrust.cab.partial" it passes it.
        padding = 4066 - len(root)
        long = root + "/" * (padding % 2) + "/." * (padding // 2)
        cls.names = dict(root=root, exe=shutil.copy(UNSIGNED(), root), signed=shutil.copy(SIGNED(), root),
                         check=shutil.copy(CHECK_SIGNED(), root), undo=shutil.copy(UNDO_SIGNED(), root),
                         cert=cls.path("ident", "signer.pem"), key=cls.path("ident", "signer.key"),
                         ident=cls.path("ident"), part=cls.path("part"), pfx=cls.path("signer.pfx"),
                         bin=cls.path("bin"), long=long)

    def plant(self, outputs):
        """Each command's outputs of an earlier run: none but the given command's."""
        for name in sum(([output, output + ".partial"] for output in sum(OUTPUTS.values(), [])), []):
            if os.path.isdir(self.path(name)):
                shutil.rmtree(self.path(name))
            elif os.path.lexists(self.path(name)):
                os.remove(self.path(name))
        # A finished run's outputs, and what a broken-off one left of the first (the long row's second
        # cabinet cannot even be named).
        for name in outputs + [output + ".partial" for output in outputs[:1]]:
            if name.startswith("phone-copy"):
                os.makedirs(self.path(name))
                for member in ("clockward.exe", "Clockward.lnk"):
                    write(self.path(name, member), b"an earlier run's " + member.encode())
            else:
                write(self.path(name), b"an earlier run's " + name.encode())

    def test_a_refused_line_or_input_changes_nothing_else(self):
        for line, stale, said in ROWS:
            command, environment, lines = arrangements(line.format(**self.names))
            for argv in lines:
                with self.subTest(" ".join(argv)[:200]):
                    self.plant(OUTPUTS[command])
                    before = snapshot(self.tmp.name)
                    result = packaging(command, *argv, path_dir=environment.get("PATH"), cwd=self.tmp.name)
                    check_said(self, result, said.format(**self.names))
                    if stale == "gone":
                        before = {path: digest for path, digest in before.items()
                                  if path.split(os.sep)[0].removesuffix(".partial") not in OUTPUTS[command]}
                    self.assertEqual(before, snapshot(self.tmp.name))
