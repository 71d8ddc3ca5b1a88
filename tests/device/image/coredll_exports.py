"""coredll.dll exports the image may import, by their fixed ordinals (CE 5 export list), with names."""

ORDINALS = {
    496: "Sleep",
    528: "LoadLibraryW",
    530: "GetProcAddressW",
    537: "GetModuleFileNameW",
    544: "TerminateProcess",
    545: "NKDbgPrintfW",
    858: "MessageBoxW",
    1044: "memcpy",
    1068: "strlen",
}

# What the image imports, in its lookup table's order.
IMAGE_IMPORTS = ["Sleep", "LoadLibraryW", "GetProcAddressW", "NKDbgPrintfW", "MessageBoxW",
                 "GetModuleFileNameW", "TerminateProcess", "strlen", "memcpy"]
