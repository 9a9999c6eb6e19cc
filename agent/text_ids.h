#pragma once

// Ids of the texts the agent takes from its language library. Shared with the
// libraries' resource scripts, so plain defines.
#define IDS_ACTION_CANCEL 2112
#define IDS_ACTION_DISMISS 2128
#define IDS_CAPTION 2321
#define IDS_PRESS_ROUTER_BUTTON 2322
#define IDS_RESULT_FAILED 2323
#define IDS_RESULT_OVERLAP 2324
#define IDS_RESULT_SUCCEEDED 2325
