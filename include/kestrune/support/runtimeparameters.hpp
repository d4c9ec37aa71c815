// The program's command line and its folder: the settings a user gives as
// arguments (LOCALFOLDER=... and the like) and where the running program lies.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Looks for a setting on the command line: an argument equal to idStr, or
// made of idStr, "=" and a value (idStr may include the "="), the name
// compared without regard to case. Setting receives the value as typed,
// trimmed; a later match replaces an earlier one; an argument that is just
// the name leaves Setting as it was.
bool FindRunTimeParameter(std::string_view idStr, std::string& Setting);

// The arguments FindRunTimeParameter searches, the program's path excluded.
// By default they are this process's own command line; a program or a test
// can set them explicitly.
void setruntimeparameters(std::vector<std::string> arguments);
std::vector<std::string> runtimeparameters();

// This process's command-line arguments, the program's path excluded, as the
// system reports them.
std::vector<std::string> processarguments();

// The folder of the running program with a trailing "/"; empty when the
// system does not tell.
std::string findexepath();

}  // namespace kestrune
