"""The Authenticode signature of a cabinet as DER: PKCS#7 SignedData over an SpcIndirectDataContent that holds
the cabinet's SHA-1 digest, with the signed attributes osslsigncode writes (content type, signing time,
individual code-signing statement, the program's name, message digest), RSA PKCS#1 v1.5 over SHA-1."""
import datetime
import hashlib

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding


def tlv(tag, *parts):
    body = b"".join(parts)
    n = len(body)
    length = bytes([n]) if n < 0x80 else bytes([0x80 | ((n.bit_length() + 7) // 8)]) + n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag]) + length + body


def seq(*parts):
    return tlv(0x30, *parts)


def der_set(*parts):
    # DER orders a SET OF by its members' encodings.
    return tlv(0x31, *sorted(parts))


def oid(dotted):
    first, second, *rest = (int(n) for n in dotted.split("."))
    body = bytearray()
    for n in [40 * first + second, *rest]:
        chunk = [n & 0x7F]
        while n > 0x7F:
            n >>= 7
            chunk.insert(0, 0x80 | (n & 0x7F))
        body += bytes(chunk)
    return tlv(0x06, body)


NULL = b"\x05\x00"
SHA1 = seq(oid("1.3.14.3.2.26"), NULL)
RSA = seq(oid("1.2.840.113549.1.1.1"), NULL)
SIGNED_DATA = "1.2.840.113549.1.7.2"
SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SPC_CAB_DATA = "1.3.6.1.4.1.311.2.1.25"
SPC_STATEMENT_TYPE = "1.3.6.1.4.1.311.2.1.11"
SPC_INDIVIDUAL_CODE_SIGNING = "1.3.6.1.4.1.311.2.1.21"
SPC_SP_OPUS_INFO = "1.3.6.1.4.1.311.2.1.12"
CONTENT_TYPE = "1.2.840.113549.1.9.3"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
SIGNING_TIME = "1.2.840.113549.1.9.5"
# The SpcLink of a cabinet's data: a file named "<<<Obsolete>>>" (BMPString).
OBSOLETE_LINK = tlv(0xA2, tlv(0x80, "<<<Obsolete>>>".encode("utf-16-be")))


def indirect_data(cab_digest):
    """SpcIndirectDataContent: SPC_CAB_DATA with the obsolete link, and the digest as a DigestInfo."""
    return seq(seq(oid(SPC_CAB_DATA), OBSOLETE_LINK), seq(SHA1, tlv(0x04, cab_digest)))


def der_time(when):
    t = datetime.datetime.fromtimestamp(when, datetime.timezone.utc)
    if 1950 <= t.year < 2050:
        return tlv(0x17, t.strftime("%y%m%d%H%M%SZ").encode())
    return tlv(0x18, t.strftime("%Y%m%d%H%M%SZ").encode())


def attribute(kind, value):
    return seq(oid(kind), der_set(value))


def signed_attributes(content_digest, when, program_name):
    # SpcSpOpusInfo: programName [0] as an SpcString ascii [1].
    opus = seq(tlv(0xA0, tlv(0x81, program_name.encode("ascii")))) if program_name else seq()
    return der_set(attribute(CONTENT_TYPE, oid(SPC_INDIRECT_DATA)),
                   attribute(SIGNING_TIME, der_time(when)),
                   attribute(SPC_STATEMENT_TYPE, seq(oid(SPC_INDIVIDUAL_CODE_SIGNING))),
                   attribute(SPC_SP_OPUS_INFO, opus),
                   attribute(MESSAGE_DIGEST, tlv(0x04, content_digest)))


def signed_data(cab_digest, key, signer, certificates, when, program_name):
    """The DER ContentInfo. signer: the certificate of key; certificates: all to carry, the signer's included."""
    content = indirect_data(cab_digest)
    # The message digest covers the content's value, without its own tag and length.
    attributes = signed_attributes(hashlib.sha1(_value(content)).digest(), when, program_name)
    signature = key.sign(attributes, padding.PKCS1v15(), hashes.SHA1())
    issuer_and_serial = seq(signer.issuer.public_bytes(), tlv(0x02, _integer(signer.serial_number)))
    # Signed as a SET, carried as [0] IMPLICIT.
    signer_info = seq(tlv(0x02, b"\x01"), issuer_and_serial, SHA1, tlv(0xA0, _value(attributes)),
                      RSA, tlv(0x04, signature))
    chain = sorted({c.public_bytes(serialization.Encoding.DER) for c in certificates})
    body = seq(tlv(0x02, b"\x01"), der_set(SHA1), seq(oid(SPC_INDIRECT_DATA), tlv(0xA0, content)),
               tlv(0xA0, *chain), der_set(signer_info))
    return seq(oid(SIGNED_DATA), tlv(0xA0, body))


def _header_length(encoded):
    return 2 if encoded[1] < 0x80 else 2 + (encoded[1] & 0x7F)


def _value(encoded):
    return encoded[_header_length(encoded):]


def _integer(n):
    return n.to_bytes(n.bit_length() // 8 + 1, "big")
