"""Signs a cabinet with an Authenticode SHA-1 signature, folder reserves included (osslsigncode refuses those)."""
import hashlib

from clockward_packaging.signing import authenticode_der, cab_layout


def signed_cab(cab, credentials, when, name):
    """The cabinet's bytes with the signature of credentials.signer over its digest, every certificate carried."""
    prepared = cab_layout.with_signature_reserve(cab)
    digest = hashlib.sha1(cab_layout.digest_input(prepared)).digest()
    signature = authenticode_der.signed_data(digest, credentials.key, credentials.signer, credentials.certificates,
                                             when, name)
    return cab_layout.with_signature(prepared, signature)
