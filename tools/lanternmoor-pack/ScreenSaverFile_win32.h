// The resources of program files through the system's own resource calls: every resource of a
// screen saver read, and a screen saver written as a copy of another with all its resources
// replaced. Paths are UTF-8.
#pragma once

#include "tools/lanternmoor-pack/PackResources.h"

#include <string>
#include <vector>

// Every resource of the program file `path`, sorted. False, with the reason in `error`.
bool ReadResources(const std::string& path, std::vector<Resource>& resources, std::string& error);

// Writes `path` as a copy of the program file `from` whose resources are `resources` (sorted) and
// no others. The copy is made under a name of its own beside `path` and renamed to `path` only
// once it reads back exactly these resources; on any failure nothing is left of it, `path` is as
// it was and `error` says why.
bool WriteScreenSaver(const std::string& from, const std::vector<Resource>& resources,
                      const std::string& path, std::string& error);
