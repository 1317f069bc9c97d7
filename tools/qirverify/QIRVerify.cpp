// QIRVerify: the support desk's check of results archives before anyone trusts them.
#include <string>
#include <vector>

#include "VerifyCommand.h"

int main(int argc, char** argv) {
  return RunVerifyCommand(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
