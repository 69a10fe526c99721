#pragma once

#include <string_view>

namespace rf::tool {

// The --help text: commands, options, exit codes and the table definition format.
std::string_view usageText();

}  // namespace rf::tool
