"""coredll.dll exports the image imports, with the fixed ordinal of each (CE 5 export list): test data,
typed here independently of the image's own import list, which the audits hold against it."""

# (name, ordinal), in Clockward's import table order.
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

# Clockward Check also reads its trust level, after the imports both programs take.
CHECK_IMPORTS_BY_ORDINAL = IMAGE_IMPORTS_BY_ORDINAL + [("CeGetCurrentTrust", 1357)]

ORDINALS = {ordinal: name for name, ordinal in CHECK_IMPORTS_BY_ORDINAL}
ORDINAL_OF = {name: ordinal for name, ordinal in CHECK_IMPORTS_BY_ORDINAL}
IMAGE_IMPORTS = [name for name, _ in IMAGE_IMPORTS_BY_ORDINAL]
CHECK_IMPORTS = [name for name, _ in CHECK_IMPORTS_BY_ORDINAL]
