"""The provisioning documents that add the signing root to the phone's privileged execution store, and
remove exactly that certificate again (CertificateStore configuration service provider)."""
import base64
import hashlib

from clockward_packaging.cab import trust_table as table
from clockward_packaging.cab.provisioning_xml import characteristic, document, nocharacteristic, parm, text_of


def thumbprint(der):
    """The certificate's SHA-1 in upper-case hex, the form the platform vendor's own tool writes."""
    return hashlib.sha1(der).hexdigest().upper()


def store(doc):
    return characteristic(characteristic(doc, "CertificateStore"), table.STORE)


def trust_xml(der):
    doc = document()
    entry = characteristic(store(doc), thumbprint(der))
    parm(entry, "EncodedCertificate", base64.b64encode(der).decode("ascii"))
    parm(entry, "Role", table.ROLE)
    return text_of(doc)


def untrust_xml(der):
    doc = document()
    nocharacteristic(store(doc), thumbprint(der))
    return text_of(doc)
