"""The image as the phone's loader reads it, without pefile: pefile is lenient where the loader is not
(it finds the section table through SizeOfOptionalHeader and falls back to the address table when a
descriptor has no lookup table), so this view follows the loader's own steps."""
import struct

SECTION_TABLE_OFFSET = 248  # from e_lfanew: signature, COFF header, a 16-directory PE32 optional header


class View:
    def __init__(self, data):
        self.data = bytes(data)
        self.lfanew = self.u32(0x3C)
        coff = self.lfanew + 4
        self.section_count = self.u16(coff + 2)
        opt = coff + 20
        self.image_base = self.u32(opt + 28)
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.import_rva = self.u32(opt + 96 + 8)
        self.iat_directory = (self.u32(opt + 96 + 12 * 8), self.u32(opt + 96 + 12 * 8 + 4))
        self.sections = []
        for i in range(self.section_count):
            at = self.lfanew + SECTION_TABLE_OFFSET + 40 * i
            name = self.data[at:at + 8].rstrip(b"\0")
            vsize, rva, raw_size, raw_ptr = struct.unpack_from("<IIII", self.data, at + 8)
            flags = self.u32(at + 36)
            self.sections.append((name, vsize, rva, raw_size, raw_ptr, flags))

    def u32(self, at):
        return struct.unpack_from("<I", self.data, at)[0] if at + 4 <= len(self.data) else 0

    def u16(self, at):
        return struct.unpack_from("<H", self.data, at)[0] if at + 2 <= len(self.data) else 0

    def section_of(self, rva):
        return next((s for s in self.sections if s[2] <= rva < s[2] + s[1]), None)

    def read(self, rva, size):
        """What the mapped image holds at rva before binding: raw data, or zeros past it."""
        section = self.section_of(rva)
        if section is None:
            return None
        _, vsize, start, raw_size, raw_ptr, _ = section
        out = bytearray(size)
        for i in range(size):
            offset = rva + i - start
            if offset >= vsize:
                return None
            if offset < raw_size:
                out[i] = self.data[raw_ptr + offset]
        return bytes(out)

    def read_u32(self, rva):
        raw = self.read(rva, 4)
        return None if raw is None else struct.unpack("<I", raw)[0]

    def string(self, rva):
        out = b""
        while len(out) < 256:
            c = self.read(rva + len(out), 1)
            if not c or c == b"\0":
                return out.decode(errors="replace") if c else None
            out += c
        return None

    def descriptors(self):
        """The import descriptors the loader binds: up to the first with OriginalFirstThunk 0.
        Each is (dll, lookup rva, address table rva, [lookup entries])."""
        found = []
        at = self.import_rva
        while self.import_rva:
            fields = [self.read_u32(at + 4 * i) for i in range(5)]
            if None in fields or fields[0] == 0:
                break
            lookup, _, _, name, iat = fields
            entries = []
            while len(entries) < 1024:
                entry = self.read_u32(lookup + 4 * len(entries))
                if not entry:
                    break
                entries.append(entry)
            found.append((self.string(name), lookup, iat, entries))
            at += 20
        return found
