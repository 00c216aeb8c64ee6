#pragma once
// The commands of kestiva-cli; each takes the words after its name and returns the exit code.

#include <string>
#include <vector>

namespace kestiva::cli {

using Args = std::vector<std::string>;

int runConfigCommand(const Args& args);
int runCheckCommand(const Args& args);
int runRecordCommand(const Args& args);
int runInfoCommand(const Args& args);
int runPlotCommand(const Args& args);
int runPortsCommand(const Args& args);
int runRecoverCommand(const Args& args);

}  // namespace kestiva::cli
