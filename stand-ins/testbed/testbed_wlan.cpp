#include "testbed.h"

#include <objbase.h>
#include <stdio.h>
#include <wchar.h>

#include <string>

#include "wlan_bench.h"

namespace {

int Usage(const wchar_t* problem)
{
    fwprintf(stderr, L"testbed wlan: %ls (try --help)\n", problem);
    return 2;
}

// An interface by its position in "wlan show" or by its GUID.
WlanBenchInterface* PickInterface(WlanBench& bench, const wchar_t* which)
{
    GUID guid;
    if (ParseGuid(which, guid))
        return FindBenchInterface(bench, guid);
    wchar_t* end = nullptr;
    unsigned long index = wcstoul(which, &end, 10);
    if (*which == 0 || *end != 0 || index >= bench.interfaces.size())
        return nullptr;
    return &bench.interfaces[index];
}

int Add(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage(L"add needs a description");
    GUID guid{};
    if (argc >= 4 && wcscmp(argv[2], L"--guid") == 0) {
        if (!ParseGuid(argv[3], guid))
            return Usage(L"not a GUID");
    } else if (argc != 2) {
        return Usage(L"add takes a description and --guid GUID");
    } else {
        CoCreateGuid(&guid);
    }
    int status = 0;
    ModifyWlanBench([&](WlanBench& bench) {
        if (FindBenchInterface(bench, guid)) {
            status = Usage(L"an interface with this GUID exists");
            return false;
        }
        WlanBenchInterface added;
        added.guid = guid;
        added.description = argv[1];
        bench.interfaces.push_back(added);
        return true;
    });
    if (status == 0)
        wprintf(L"%ls\n", GuidText(guid).c_str());
    return status;
}

// Runs change on the interface named by argv[1].
template <typename Change>
int OnInterface(int argc, wchar_t** argv, int extra, Change change)
{
    if (argc < 2 + extra)
        return Usage(L"missing arguments");
    int status = 0;
    ModifyWlanBench([&](WlanBench& bench) {
        WlanBenchInterface* i = PickInterface(bench, argv[1]);
        if (!i) {
            status = Usage(L"no such interface");
            return false;
        }
        status = change(bench, *i);
        return status == 0;
    });
    return status;
}

void SetSecurity(WlanBenchInterface& i, bool on)
{
    i.securityEnabled = on;
    i.authAlgorithm = on ? DOT11_AUTH_ALGO_RSNA_PSK : DOT11_AUTH_ALGO_80211_OPEN;
    i.cipherAlgorithm = on ? DOT11_CIPHER_ALGO_CCMP : DOT11_CIPHER_ALGO_NONE;
}

int Connect(int argc, wchar_t** argv)
{
    return OnInterface(argc, argv, 1, [&](WlanBench&, WlanBenchInterface& i) {
        DWORD state = wlan_interface_state_connected;
        bool secure = true;
        for (int n = 3; n < argc; ++n) {
            std::wstring option = argv[n];
            if (option == L"--open") {
                secure = false;
            } else if (option == L"--state" && n + 1 < argc) {
                std::wstring name = argv[++n];
                if (name == L"connected")
                    state = wlan_interface_state_connected;
                else if (name == L"associating")
                    state = wlan_interface_state_associating;
                else if (name == L"authenticating")
                    state = wlan_interface_state_authenticating;
                else
                    return Usage(L"--state is connected, associating or authenticating");
            } else {
                return Usage(L"connect takes --open and --state");
            }
        }
        if (!i.present)
            return Usage(L"the interface is unplugged");
        i.state = state;
        i.ssid = SsidBytes(argv[2]);
        i.profileName = argv[2];
        i.joinAt = 0;
        SetSecurity(i, secure);
        return 0;
    });
}

int Security(int argc, wchar_t** argv)
{
    return OnInterface(argc, argv, 1, [&](WlanBench&, WlanBenchInterface& i) {
        std::wstring value = argv[2];
        if (value != L"on" && value != L"off")
            return Usage(L"security is on or off");
        SetSecurity(i, value == L"on");
        return 0;
    });
}

void PrintProfiles(const WlanBenchInterface& i, bool xml)
{
    for (const WlanBenchProfile& p : i.profiles) {
        wprintf(L"    profile \"%ls\"%ls\n", p.name.c_str(), p.userOnly ? L" (this user's)" : L"");
        if (xml)
            wprintf(L"%ls\n", p.xml.c_str());
    }
}

int Show()
{
    WlanBench bench = ReadWlanBench();
    wprintf(L"service %ls, automatic join after %lu ms\n", bench.serviceRunning ? L"running" : L"stopped",
            static_cast<unsigned long>(bench.joinDelayMs));
    for (size_t n = 0; n < bench.interfaces.size(); ++n) {
        const WlanBenchInterface& i = bench.interfaces[n];
        wprintf(L"%u %ls \"%ls\" %ls\n", static_cast<unsigned>(n), GuidText(i.guid).c_str(), i.description.c_str(),
                i.present ? L"present" : L"unplugged");
        wprintf(L"    %ls", InterfaceStateName(i.state));
        if (i.state != wlan_interface_state_disconnected)
            wprintf(L" ssid \"%ls\" security %ls profile \"%ls\"", SsidText(i.ssid).c_str(),
                    i.securityEnabled ? L"on" : L"off", i.profileName.c_str());
        wprintf(L"\n");
        PrintProfiles(i, false);
    }
    return 0;
}

int Calls(int argc, wchar_t** argv)
{
    if (argc > 1 && wcscmp(argv[1], L"--clear") == 0) {
        DeleteFileW(WlanCallLogFile().c_str());
        return 0;
    }
    for (const WlanCall& call : ReadWlanCalls())
        wprintf(L"%llu %lu %ls %ls %lu %ls\n", call.tick, static_cast<unsigned long>(call.processId),
                call.program.c_str(), call.function.c_str(), static_cast<unsigned long>(call.result),
                call.details.c_str());
    return 0;
}

} // namespace

void PrintWlanHelp()
{
    wprintf(L"Native Wifi (wlanapi stand-in); <if> is a number from \"wlan show\" or a GUID:\n"
            L"  wlan add <description> [--guid {GUID}]  add a present, disconnected interface; prints its GUID\n"
            L"  wlan unplug <if> | wlan replug <if>     take the adapter away or give it back (replug joins a\n"
            L"                                          stored network a moment later, as Windows does)\n"
            L"  wlan connect <if> <ssid> [--open] [--state connected|associating|authenticating]\n"
            L"                                          set the connection by hand (secured unless --open)\n"
            L"  wlan disconnect <if>                    drop the connection\n"
            L"  wlan security <if> on|off               turn the connection's security on or off\n"
            L"  wlan show                               service, interfaces, connections, stored profiles\n"
            L"  wlan profiles <if> [--xml]              the interface's stored profiles, preferred first\n"
            L"  wlan service on|off                     start or stop the WLAN service (WlanOpenHandle fails)\n"
            L"  wlan join-delay <ms>                    how long automatic join takes (500 by default)\n"
            L"  wlan all-user-profiles allow|deny       deny: all-user profiles refused, as by policy\n"
            L"  wlan calls [--clear]                    the calls programs made into wlanapi.dll\n"
            L"  wlan clear                              forget every interface, profile and call\n\n");
}

int RunWlanCommand(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage(L"missing command");
    std::wstring command = argv[1];
    argc -= 1;
    argv += 1;

    if (command == L"add")
        return Add(argc, argv);
    if (command == L"unplug")
        return OnInterface(argc, argv, 0, [](WlanBench&, WlanBenchInterface& i) {
            DisconnectInterface(i);
            i.present = false;
            return 0;
        });
    if (command == L"replug")
        return OnInterface(argc, argv, 0, [](WlanBench& bench, WlanBenchInterface& i) {
            if (!i.present) {
                i.present = true;
                DisconnectInterface(i);
                i.joinAt = GetTickCount64() + bench.joinDelayMs;
            }
            return 0;
        });
    if (command == L"connect")
        return Connect(argc, argv);
    if (command == L"disconnect")
        return OnInterface(argc, argv, 0, [](WlanBench&, WlanBenchInterface& i) {
            DisconnectInterface(i);
            return 0;
        });
    if (command == L"security")
        return Security(argc, argv);
    if (command == L"show")
        return Show();
    if (command == L"profiles") {
        if (argc < 2)
            return Usage(L"profiles needs an interface");
        WlanBench bench = ReadWlanBench();
        WlanBenchInterface* i = PickInterface(bench, argv[1]);
        if (!i)
            return Usage(L"no such interface");
        PrintProfiles(*i, argc > 2 && wcscmp(argv[2], L"--xml") == 0);
        return 0;
    }
    if (command == L"service") {
        if (argc < 2 || (wcscmp(argv[1], L"on") != 0 && wcscmp(argv[1], L"off") != 0))
            return Usage(L"service is on or off");
        bool on = wcscmp(argv[1], L"on") == 0;
        ModifyWlanBench([&](WlanBench& bench) {
            bench.serviceRunning = on;
            return true;
        });
        return 0;
    }
    if (command == L"all-user-profiles") {
        if (argc < 2 || (wcscmp(argv[1], L"allow") != 0 && wcscmp(argv[1], L"deny") != 0))
            return Usage(L"all-user-profiles is allow or deny");
        bool deny = wcscmp(argv[1], L"deny") == 0;
        ModifyWlanBench([&](WlanBench& bench) {
            bench.allUserProfilesDenied = deny;
            return true;
        });
        return 0;
    }
    if (command == L"join-delay") {
        if (argc < 2)
            return Usage(L"join-delay needs milliseconds");
        DWORD delay = wcstoul(argv[1], nullptr, 10);
        ModifyWlanBench([&](WlanBench& bench) {
            bench.joinDelayMs = delay;
            return true;
        });
        return 0;
    }
    if (command == L"calls")
        return Calls(argc, argv);
    if (command == L"clear") {
        ClearWlanBench();
        return 0;
    }
    return Usage(L"unknown command");
}
