#pragma once

#include <windows.h>

#include "unique_handle.h"

// The file that carries the profile to the agent. Its path comes from a value
// every user may write while the service writes as LocalSystem, so the file is
// opened only where the path names a plain file "wps_profile.xml" on a local
// drive, never through a reparse point or a hard link. Truncated and ready to
// write, or no handle (the last error says why) with the file left as it was.
UniqueFileHandle OpenHandOffFile(const wchar_t* path);
