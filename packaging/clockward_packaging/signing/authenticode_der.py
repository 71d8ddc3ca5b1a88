"""The Authenticode signature of a cabinet as DER: PKCS#7 SignedData over an SpcIndirectDataContent that holds
the cabinet's SHA-1 digest, with the signed attributes osslsigncode writes (content type, signing time,
individual code-signing statement, the program's name, message digest), RSA PKCS#1 v1.5 over SHA-1. The
Authenticode structures are declared here for asn1crypto, which writes the DER."""
import datetime
import hashlib

from asn1crypto import algos, cms, core, x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import padding

SPC_INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
SPC_CAB_DATA = "1.3.6.1.4.1.311.2.1.25"
SPC_STATEMENT_TYPE = "1.3.6.1.4.1.311.2.1.11"
SPC_INDIVIDUAL_CODE_SIGNING = "1.3.6.1.4.1.311.2.1.21"
SPC_SP_OPUS_INFO = "1.3.6.1.4.1.311.2.1.12"
# Authenticode names its algorithms with explicit NULL parameters.
SHA1 = {"algorithm": "sha1", "parameters": core.Null()}


class SpcString(core.Choice):
    _alternatives = [("unicode", core.BMPString, {"implicit": 0}), ("ascii", core.IA5String, {"implicit": 1})]


class SpcLink(core.Choice):
    _alternatives = [("url", core.IA5String, {"implicit": 0}), ("file", SpcString, {"explicit": 2})]


class SpcAttributeTypeAndOptionalValue(core.Sequence):
    _fields = [("type", core.ObjectIdentifier), ("value", SpcLink)]


class SpcIndirectDataContent(core.Sequence):
    _fields = [("data", SpcAttributeTypeAndOptionalValue), ("message_digest", algos.DigestInfo)]


class SpcSpOpusInfo(core.Sequence):
    _fields = [("program_name", SpcString, {"explicit": 0, "optional": True}),
               ("more_info", SpcLink, {"explicit": 1, "optional": True})]


class SpcStatementType(core.SequenceOf):
    _child_spec = core.ObjectIdentifier


class SpcContentInfo(cms.ContentInfo):
    """PKCS#7's ContentInfo, whose content is [0] EXPLICIT (not CMS's OCTET STRING), holding the indirect data."""
    _oid_specs = {SPC_INDIRECT_DATA: SpcIndirectDataContent}


def signing_time(when):
    t = datetime.datetime.fromtimestamp(when, datetime.timezone.utc)
    return cms.Time(name="utc_time" if 1950 <= t.year < 2050 else "generalized_time", value=t)


def attribute(kind, value):
    return cms.CMSAttribute({"type": kind, "values": [value]})


def signed_data(cab_digest, key, signer, certificates, when, program_name):
    """The DER ContentInfo. signer: the certificate of key; certificates: all to carry, the signer's included."""
    # The link of a cabinet's data: a file named "<<<Obsolete>>>".
    link = SpcLink(name="file", value=SpcString(name="unicode", value="<<<Obsolete>>>"))
    content = SpcIndirectDataContent({"data": {"type": SPC_CAB_DATA, "value": link},
                                      "message_digest": {"digest_algorithm": SHA1, "digest": cab_digest}})
    opus = SpcSpOpusInfo({"program_name": SpcString(name="ascii", value=program_name) if program_name else None})
    # The message digest covers the content's value, without its own tag and length.
    attributes = cms.CMSAttributes([
        attribute("content_type", SPC_INDIRECT_DATA),
        attribute("signing_time", signing_time(when)),
        attribute(SPC_STATEMENT_TYPE, core.Any.load(SpcStatementType([SPC_INDIVIDUAL_CODE_SIGNING]).dump())),
        attribute(SPC_SP_OPUS_INFO, core.Any.load(opus.dump())),
        attribute("message_digest", hashlib.sha1(content.contents).digest()),
    ])
    signature = key.sign(attributes.dump(), padding.PKCS1v15(), hashes.SHA1())
    signer_info = cms.SignerInfo({
        "version": "v1",
        "sid": cms.IssuerAndSerialNumber({"issuer": x509.Name.load(signer.issuer.public_bytes()),
                                          "serial_number": signer.serial_number}),
        "digest_algorithm": SHA1, "signed_attrs": attributes,
        "signature_algorithm": {"algorithm": "rsassa_pkcs1v15", "parameters": core.Null()}, "signature": signature})
    chain = sorted({c.public_bytes(serialization.Encoding.DER) for c in certificates})
    body = cms.SignedData({
        "version": "v1", "digest_algorithms": [SHA1],
        "encap_content_info": SpcContentInfo({"content_type": SPC_INDIRECT_DATA, "content": content}),
        "certificates": [x509.Certificate.load(c) for c in chain], "signer_infos": [signer_info]})
    return cms.ContentInfo({"content_type": "signed_data", "content": body}).dump()
