// tools/common/usage: the tools' answer to a command line they cannot take.
//
//     if (argc < 2) return usageError("synctool", "no command", usage);
#pragma once

#include <string>

// Writes "TOOL: MESSAGE" and then the usage text to standard error; returns
// 2, the exit status of a usage error.
int usageError(const char* tool, const std::string& message, const char* usage);
