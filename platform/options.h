// Settings of the layer, taken from the command line before the program runs.
#pragma once

#include <string>
#include <vector>

namespace layer {

// Consumes the layer's options (--drive, --cd, --short-date-format) from args, mounts the
// drives, sets the start directory and the short date pattern. Returns false with a one-line
// message in *error for anything malformed, having changed nothing. The remaining arguments
// stay in args, in order.
bool ApplyOptions(std::vector<std::string>& args, std::string* error);

// One line per option, for --help.
const char* OptionsHelp();

}  // namespace layer
