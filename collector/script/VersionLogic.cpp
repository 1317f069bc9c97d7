// Version logic. The facts and the expression evaluation arrive with the conditions'
// own work; until then every condition is false.
#include "VersionLogic.h"

VersionLogic::VersionLogic(LineFileWriter* log) : log_(log) {}

bool VersionLogic::Evaluate(char*) { return false; }
