// Where the host looks for a library named by LoadLibraryW, mirroring the phone's loader.
#pragma once

#include <string>

// The directory holding the running executable, without a trailing slash; empty if unknown.
std::string ExecutableDirectory();

// Opens a library by name. A bare name is tried first in exeDir, then through the dynamic loader's
// own search, whose result is refused if it comes from the current working directory (a relative
// LD_LIBRARY_PATH entry would otherwise pick up whatever file lies there). A name with a slash is
// opened as given. Returns the loader's handle or null, with the reason in *why.
void* OpenLibrary(const std::string& name, const std::string& exeDir, std::string* why);
