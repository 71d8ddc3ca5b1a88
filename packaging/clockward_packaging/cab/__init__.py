"""Microsoft cabinets as Windows Mobile's installer reads them, and the documents they carry."""
