// Path resolution. The reference kinds arrive with the resolver's own work; until then
// every path is taken as it stands.
#include "PathResolver.h"

PathResolver::PathResolver() = default;

bool PathResolver::Resolve(std::string&) { return true; }
