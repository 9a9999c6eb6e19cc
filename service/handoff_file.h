#pragma once

#include <windows.h>

#include "access_list.h"
#include "unique_handle.h"

// The file that carries the profile to the agent. Its path comes from a value
// every user may write while the service writes as LocalSystem: any user
// could name a folder of the system's, and one who watches the value could
// rewrite it right after another user's agent wrote it and so receive that
// user's key. The file therefore goes only into the temporary folder of the
// user who was at the console when the request was accepted, and besides the
// system's own accounts only that user may read it.

// That user, as recorded when the request was accepted.
// The token is held only until the file is written or refused, or the
// session ends.
struct HandOffUser {
    UniqueHandle token;
    wchar_t folder[MAX_PATH] = {};
    DWORD session = 0;
};

// Records the console user, their session and the temporary folder
// GetTempPathW would give them (TMP, then TEMP, then USERPROFILE); a folder
// not given from a drive's root counts as none. False, with nobody recorded,
// when there is none.
bool RecordHandOffUser(HandOffUser& user);

// Creates the file anew for writing when path names "wps_profile.xml"
// directly inside that user's folder or its subfolder for their session,
// however the folder is reached, on a local volume that keeps access lists,
// and whatever has that name there is a plain file of one name. Otherwise no
// handle (the last error says why) and the folder left as it was.
UniqueFileHandle OpenHandOffFile(const wchar_t* path, const HandOffUser& user);

// The file's access list: LocalSystem and Administrators in full, the user
// whose token it is only to read and delete it.
bool BuildHandOffSecurity(HANDLE token, ExplicitSecurity& security);
