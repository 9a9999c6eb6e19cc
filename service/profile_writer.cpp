#include "profile_writer.h"

// Placeholder until the profile writer lands: nothing is written.
bool BuildProfileRecord()
{
    return true;
}

int32_t WriteProfileFile()
{
    return -1;
}
