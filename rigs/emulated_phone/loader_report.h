// emulated-phone IMAGE --loader-report: the loader's reading of the image, for programs to judge.
#pragma once

#include <cstdint>
#include <vector>

// Prints the reading as one JSON object; returns the command's exit code.
int PrintLoaderReport(const std::vector<uint8_t>& file);
