#include "fake_system_locale.h"

#include "localised_text.h"

static LCID g_fakeLocale = 0x0409;

void SetFakeSystemLocale(LCID locale)
{
    g_fakeLocale = locale;
}

LCID SystemLocale()
{
    return g_fakeLocale;
}
