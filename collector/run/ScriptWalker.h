// Gives a script's element tree its meaning: conditions, groups and actions, counted
// in the counting pass and run in the collecting pass.
#pragma once

#include "CollectorContext.h"

class ScriptElement;

enum class RunMode { Counting, Collecting };

// Walks the tree below node. The collecting pass runs each action with the context;
// the counting pass runs nothing and adds each action's progress units to progressUnits.
void Walk(const CollectorContext& context, ScriptElement* node, RunMode mode, long& progressUnits);
