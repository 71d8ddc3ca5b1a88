"""The trust pair: clockward-trust.cab, which puts a root into the phone's privileged execution store, and
clockward-untrust.cab, which takes exactly that certificate out again."""
from clockward_packaging.cab import trust_table as table
from clockward_packaging.cab.cabinet_writer import cabinet
from clockward_packaging.cab.trust_xml import trust_xml, untrust_xml


def cabinets(der, member_time):
    """{name: bytes} of the two cabinets for the root whose DER certificate is der."""
    return {name: cabinet([(table.MEMBER, document)], member_time)
            for name, document in ((table.TRUST_CAB, trust_xml(der)), (table.UNTRUST_CAB, untrust_xml(der)))}
