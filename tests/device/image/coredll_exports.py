"""coredll.dll exports the image imports, with the fixed ordinal of each (CE 5 export list): test data,
typed here independently of the image's own import list, which the audits hold against it."""

# (name, ordinal), in the image's import table order.
IMAGE_IMPORTS_BY_ORDINAL = [
    ("Sleep", 496),
    ("LoadLibraryW", 528),
    ("GetProcAddressW", 530),
    ("NKDbgPrintfW", 545),
    ("MessageBoxW", 858),
    ("GetModuleFileNameW", 537),
    ("TerminateProcess", 544),
    ("strlen", 1068),
    ("memcpy", 1044),
]

ORDINALS = {ordinal: name for name, ordinal in IMAGE_IMPORTS_BY_ORDINAL}
IMAGE_IMPORTS = [name for name, _ in IMAGE_IMPORTS_BY_ORDINAL]
