"""What goes on the phone around the program: the signed image, the installer cabinet, the cabinets that
teach a phone to trust the signer and undo it, and the folder to copy by hand. Run its commands with
packaging/ on PYTHONPATH: `python3 -m clockward_packaging.<command>`."""
