// For launchers that hand the program one command-line string (a Windows build): the string that the
// tool's own splitting rules take apart into exactly the given arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Every argument (argument 0 first) inside double quotes, one space between them. Nothing when an argument
// holds a double quote: the splitting rules have no escape, so such an argument cannot be carried.
std::optional<std::string> rawCommandLine(const std::vector<std::string>& arguments);

}  // namespace e2e
