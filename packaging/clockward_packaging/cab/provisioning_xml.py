"""Provisioning documents (wap-provisioningdoc), as the phone's configuration manager reads them from a
cabinet's _setup.xml: built as element trees, written as the SDK's tool writes them (two-space indent, CRLF,
UTF-8 without a byte-order mark or XML declaration)."""
import xml.etree.ElementTree as ET


def document():
    return ET.Element("wap-provisioningdoc")


def characteristic(parent, kind, translate=False):
    element = ET.SubElement(parent, "characteristic", type=kind)
    if translate:
        element.set("translation", "install")
    return element


def nocharacteristic(parent, kind):
    return ET.SubElement(parent, "nocharacteristic", type=kind)


def parm(parent, name, value=None, translate=False):
    element = ET.SubElement(parent, "parm", name=name)
    if value is not None:
        element.set("value", str(value))
    if translate:
        element.set("translation", "install")


def text_of(doc):
    ET.indent(doc)
    text = ET.tostring(doc, encoding="unicode") + "\n"
    return text.replace("\n", "\r\n").encode("utf-8")
