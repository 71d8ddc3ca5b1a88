"""Authenticode SHA-1 signing, the only kind Windows Mobile 6 checks, and the identities that sign."""
