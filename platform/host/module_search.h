// Where the host looks for a library named by LoadLibraryW, mirroring the phone's loader.
#pragma once

#include <string>
#include <vector>

// The directory holding the running executable, without a trailing slash; empty if unknown.
std::string ExecutableDirectory();

// Opens a library by name. A bare name is looked up by us, never by the dynamic loader: beside the
// executable (exeDir) first, then in each absolute directory of LD_LIBRARY_PATH, then in the
// loader's own directories; the loader is handed only the absolute path of the file found. Relative
// and empty LD_LIBRARY_PATH entries, which the loader would resolve from the working directory, are
// skipped, and so is any file that lies in the working directory itself (unless it is exeDir): such
// a file is never opened, so none of its code runs. Each thing skipped is added to *notes. A name
// with a slash is opened as given. Returns the loader's handle or null, with the reason in *why.
void* OpenLibrary(const std::string& name, const std::string& exeDir, std::string* why,
                  std::vector<std::string>* notes = nullptr);
