#include "profile_applier.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include "adapter.h"
#include "clock.h"
#include "unique_handle.h"

namespace {

// MSXML 6's document class and the interface used of it; mingw's headers
// define neither.
const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Native Wifi needs time to drop the old link, and to take the new profile in.
constexpr DWORD kSettleMs = 300;

bool LoadDocument(IXMLDOMDocument2* document, const wchar_t* path)
{
    UniqueVariant source;
    source.get().vt = VT_BSTR;
    source.get().bstrVal = SysAllocString(path);
    if (!source.get().bstrVal)
        return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return document->load(source.get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

} // namespace

bool ApplyProfile(const wchar_t* path)
{
    UniqueCom<IXMLDOMDocument2> document;
    if (CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                         reinterpret_cast<void**>(document.put())) != S_OK)
        return false;
    // A missing, empty or broken file ends here, before the link is touched.
    if (!LoadDocument(document.get(), path))
        return false;

    UniqueWlanHandle client;
    if (OpenWlanClient(client) != ERROR_SUCCESS)
        return false;
    UniqueBstr profile;
    if (document->get_xml(profile.put()) != S_OK)
        return false;

    // Not found leaves AdapterId zero, and Native Wifi refuses both calls.
    FindAdapter();
    WlanDisconnect(client.get(), &AdapterId, nullptr);
    SleepMs(kSettleMs);
    DWORD reason = 0;
    DWORD result = WlanSetProfile(client.get(), &AdapterId, 0, profile.get(), nullptr, TRUE, nullptr, &reason);
    // A managed machine may keep all-user profiles from standard users; the
    // link is already dropped, so the user's own profile is better than none.
    if (result == ERROR_ACCESS_DENIED)
        result = WlanSetProfile(client.get(), &AdapterId, WLAN_PROFILE_USER, profile.get(), nullptr, TRUE, nullptr,
                                &reason);
    bool accepted = result == ERROR_SUCCESS;
    SleepMs(kSettleMs);

    client.reset();
    // The adapter may be another one, or gone, by the next request.
    AdapterId = GUID{};
    return accepted;
}
