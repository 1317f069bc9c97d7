// Gives a script's element tree its meaning: conditions, groups and actions, counted
// in the counting pass and run in the collecting pass.
#pragma once

#include "CollectionRun.h"

class ScriptElement;

void Walk(CollectionRun& run, ScriptElement* node, RunMode mode);
