#pragma once
// kinovex-convert from its arguments to its exit status.

#include <atomic>
#include <string>
#include <vector>

namespace kinovex::cli {

int runConvertTool(const std::vector<std::string>& args, const std::atomic<bool>& interrupted);

} // namespace kinovex::cli
