"""The Microsoft cabinet's fixed header (CFHEADER) and folder entry (CFFOLDER): what both the writer and
the signer read and write."""

SIGNATURE = b"MSCF"
# signature, reserved1, cbCabinet, reserved2, coffFiles, reserved3, versionMinor, versionMajor, cFolders,
# cFiles, flags, setID, iCabinet
HEADER_FORMAT = "<4sIIIIIBBHHHHH"
HEADER_SIZE = 36
RESERVED1_AT, SIZE_AT, FILES_AT, FOLDERS_AT, FLAGS_AT = 4, 8, 16, 26, 30
# Flags: a previous or next cabinet of a set (two bits), the reserve sizes follow the fixed header.
PREV_OR_NEXT_CABINET = 0x0003
RESERVE_PRESENT = 0x0004
# A folder entry: coffCabStart (u32), cCFData (u16), typeCompress (u16), then the folder reserve.
FOLDER_ENTRY_SIZE = 8
