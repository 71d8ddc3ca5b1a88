"""What goes on the phone around the program: the signed image, the installer cabinet, the cabinets that
teach a phone to trust the signer and undo it, and the folder to copy by hand. Run its commands from the
source tree with `python3 -m packaging.<command>`."""
