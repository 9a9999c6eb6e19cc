#include "localised_text.h"

LCID SystemLocale()
{
    return GetSystemDefaultLCID();
}
