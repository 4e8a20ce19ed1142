#pragma once

#include "platform/ProgramFolder.h"

namespace tunelix::client {

// The client's program entry after the application object exists: the single-instance
// test, the objects in their creation order, the message loop. Returns the exit code.
int runClient(const ProgramFolder &folder);

} // namespace tunelix::client
