#pragma once

// The --version text of a program of the stand-in host: its own version, then the
// version and build date of every plug-in it loads, each loaded as the host loads
// it.

#include <string>
#include <vector>

namespace kxtools {

// "camgrab 1.0.0\n  framegrab 1.0.0 (built 2024-05-01)\n  pixsieve ...\n". A
// plug-in that cannot be loaded is shown as "not available" with the reason, and
// missing is set.
std::string versionText(const std::string& program, const std::string& version,
                        const std::vector<std::string>& plugins, bool& missing);

} // namespace kxtools
