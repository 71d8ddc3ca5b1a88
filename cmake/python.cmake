# The one Python the packaging steps and every Python test run: Debian's /usr/bin/python3 first, which
# has the python3-* packages they import (a python3 earlier on PATH may lack them);
# -DPython3_EXECUTABLE=... chooses another. A host build without tests needs none.
if(CMAKE_CROSSCOMPILING OR BUILD_TESTING)
    set(Python3_ROOT_DIR /usr)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
endif()
