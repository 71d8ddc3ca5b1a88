"""What the trust cabinets tell the phone: the store that learns the signing root, and the cabinets' names."""

# Least privilege: only the store that lets a program run privileged. Not SPC, where the same root would
# also install cabinets with the Manager role (and those can change the phone's security policies), nor
# ROOT; the installer cabinet then asks once when it is installed.
STORE = "Privileged Execution Trust Authorities"
# The provisioning reference asks for a role in the execution stores but says they do not read it; this
# is the mask it gives a privileged root (OEM, Operator, Manager, User authenticated and unauthenticated,
# Operator TPS).
ROLE = 222
# A provisioning cabinet carries the document alone, uncompressed.
MEMBER = "_setup.xml"
TRUST_CAB = "clockward-trust.cab"
UNTRUST_CAB = "clockward-untrust.cab"
