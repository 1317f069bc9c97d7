// The command line of QIRVerify: options, the archives to check, their reports and the
// exit code (0 every archive intact, 1 one failed a check, 2 one could not be read or
// the command line was wrong).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

int RunVerifyCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);
