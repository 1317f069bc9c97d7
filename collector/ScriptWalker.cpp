// Script walker.
#include "ScriptWalker.h"

// The walk over conditions and actions arrives with the collectors; until then nothing in a script runs.
void Walk(CollectionRun&, ScriptElement*, RunMode) {}
