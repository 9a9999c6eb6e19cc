#include "testbed.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>
#include <wchar.h>

#include "bench_scenario.h"
#include "wps_bench.h"

namespace {

void PrintUsageError(const wchar_t* message)
{
    fwprintf(stderr, L"testbed: %ls (try --help)\n", message);
}

// The value after an option such as --key, or null when it is not given.
const wchar_t* OptionValue(int argc, wchar_t** argv, const wchar_t* option)
{
    for (int i = 0; i + 1 < argc; ++i)
        if (wcscmp(argv[i], option) == 0)
            return argv[i + 1];
    return nullptr;
}

bool HasFlag(int argc, wchar_t** argv, const wchar_t* flag)
{
    for (int i = 0; i < argc; ++i)
        if (wcscmp(argv[i], flag) == 0)
            return true;
    return false;
}

bool ParseNumber(const wchar_t* text, unsigned long long& value)
{
    if (!text || !*text)
        return false;
    wchar_t* end = nullptr;
    value = wcstoull(text, &end, 0);
    return *end == 0;
}

std::wstring FreeBssid(const std::vector<BenchAccessPoint>& points)
{
    for (unsigned n = 1;; ++n) {
        wchar_t bssid[32];
        swprintf(bssid, ARRAYSIZE(bssid), L"02:00:00:00:%02x:%02x", (n >> 8) & 0xff, n & 0xff);
        bool taken = false;
        for (const BenchAccessPoint& point : points)
            taken = taken || _wcsicmp(point.bssid.c_str(), bssid) == 0;
        if (!taken)
            return bssid;
    }
}

bool IsBssid(const wchar_t* text)
{
    unsigned parts[6];
    wchar_t rest = 0;
    return swscanf(text, L"%2x:%2x:%2x:%2x:%2x:%2x%lc", &parts[0], &parts[1], &parts[2], &parts[3], &parts[4],
                   &parts[5], &rest) == 6;
}

int AccessPointCommand(int argc, wchar_t** argv)
{
    std::vector<BenchAccessPoint> points = ReadAccessPoints();
    const wchar_t* command = argc > 1 ? argv[1] : L"list";

    if (wcscmp(command, L"add") == 0) {
        if (argc < 3 || argv[2][0] == L'-') {
            PrintUsageError(L"ap add needs a network name");
            return 2;
        }
        BenchAccessPoint point;
        point.ssid = argv[2];
        if (const wchar_t* key = OptionValue(argc, argv, L"--key"))
            point.networkKey = key;
        if (const wchar_t* hex = OptionValue(argc, argv, L"--key-hex"))
            point.networkKeyHex = hex;
        if (const wchar_t* auth = OptionValue(argc, argv, L"--auth"))
            point.keyManagement = auth;
        if (const wchar_t* record = OptionValue(argc, argv, L"--credential-hex"))
            point.credentialHex = record;
        if (const wchar_t* encryption = OptionValue(argc, argv, L"--encr")) {
            unsigned long long value = 0;
            if (!ParseNumber(encryption, value)) {
                PrintUsageError(L"--encr takes a number (1 none, 2 WEP, 4 TKIP, 8 AES, 12 TKIP and AES)");
                return 2;
            }
            point.encryption = static_cast<unsigned>(value);
        }
        const wchar_t* bssid = OptionValue(argc, argv, L"--bssid");
        if (bssid && !IsBssid(bssid)) {
            PrintUsageError(L"--bssid takes six hex bytes such as 02:00:00:00:00:01");
            return 2;
        }
        point.bssid = bssid ? bssid : FreeBssid(points);
        point.pushButton = !HasFlag(argc, argv, L"--no-pbc");
        points.push_back(point);
        WriteAccessPoints(points);
        wprintf(L"ap%zu %ls %ls\n", points.size() - 1, point.bssid.c_str(), point.ssid.c_str());
        return 0;
    }
    if (wcscmp(command, L"clear") == 0) {
        WriteAccessPoints({});
        return 0;
    }
    if (wcscmp(command, L"remove") == 0 || wcscmp(command, L"pbc") == 0) {
        if (argc < 3) {
            PrintUsageError(L"which access point? (network name or bssid)");
            return 2;
        }
        bool on = argc < 4 || wcscmp(argv[3], L"off") != 0;
        bool seen = false;
        std::vector<BenchAccessPoint> kept;
        for (BenchAccessPoint& point : points) {
            bool match = point.ssid == argv[2] || _wcsicmp(point.bssid.c_str(), argv[2]) == 0;
            seen = seen || match;
            if (match && command[0] == L'r')
                continue;
            if (match)
                point.pushButton = on;
            kept.push_back(point);
        }
        if (!seen) {
            fwprintf(stderr, L"testbed: no access point '%ls'\n", argv[2]);
            return 1;
        }
        WriteAccessPoints(kept);
        return 0;
    }
    if (wcscmp(command, L"list") == 0) {
        for (size_t i = 0; i < points.size(); ++i) {
            const BenchAccessPoint& point = points[i];
            wprintf(L"ap%zu %ls \"%ls\" %ls encr=%u key=\"%ls\"%ls%ls%ls\n", i, point.bssid.c_str(),
                    point.ssid.c_str(), point.keyManagement.c_str(), point.encryption, point.networkKey.c_str(),
                    point.networkKeyHex.empty() ? L"" : (L" key-hex=" + point.networkKeyHex).c_str(),
                    point.credentialHex.empty() ? L"" : L" credential-hex", point.pushButton ? L" pbc" : L"");
        }
        return 0;
    }
    PrintUsageError(L"unknown ap command");
    return 2;
}

int ButtonCommand(int argc, wchar_t** argv)
{
    const wchar_t* command = argc > 1 ? argv[1] : L"show";
    if (wcscmp(command, L"press") == 0) {
        if (const wchar_t* reads = OptionValue(argc, argv, L"--reads")) {
            unsigned long long count = 0;
            if (!ParseNumber(reads, count)) {
                PrintUsageError(L"--reads takes a number");
                return 2;
            }
            WriteScenario(L"button", L"pressed_until", L"0");
            WriteScenario(L"button", L"press_reads", std::to_wstring(count));
            WriteScenario(L"button", L"press_serial", std::to_wstring(BenchNowMs()));
            return 0;
        }
        const wchar_t* length = OptionValue(argc, argv, L"--for");
        if (!length) {
            WriteScenario(L"button", L"pressed_until", L"held");
            return 0;
        }
        unsigned long long ms = 0;
        if (!ParseNumber(length, ms)) {
            PrintUsageError(L"--for takes milliseconds");
            return 2;
        }
        WriteScenario(L"button", L"pressed_until", std::to_wstring(BenchNowMs() + ms));
        return 0;
    }
    if (wcscmp(command, L"release") == 0) {
        WriteScenario(L"button", L"pressed_until", L"0");
        return 0;
    }
    if (wcscmp(command, L"supported") == 0 || wcscmp(command, L"unsupported") == 0) {
        WriteScenario(L"button", L"supported", command[0] == L's' ? L"1" : L"0");
        return 0;
    }
    if (wcscmp(command, L"show") == 0) {
        std::wstring file = WpsScenarioFile();
        bool supported = GetPrivateProfileIntW(L"button", L"supported", 1, file.c_str()) != 0;
        std::wstring until = ReadBenchString(file, L"button", L"pressed_until", L"0");
        bool pressed = until == L"held" || _wcstoui64(until.c_str(), nullptr, 10) > BenchNowMs();
        wprintf(L"%ls, %ls\n", supported ? L"supported" : L"unsupported", pressed ? L"pressed" : L"released");
        return 0;
    }
    PrintUsageError(L"unknown button command");
    return 2;
}

bool FunctionArgument(int argc, wchar_t** argv, int index, WpsFunction& function)
{
    if (argc <= index) {
        PrintUsageError(L"which library function? (e.g. findAP)");
        return false;
    }
    function = WpsFunctionByName(argv[index]);
    if (function == WpsFunctionCount) {
        fwprintf(stderr, L"testbed: '%ls' is not a library function\n", argv[index]);
        return false;
    }
    return true;
}

void ShowScenario()
{
    std::wstring file = WpsScenarioFile();
    for (int i = 0; i < WpsFunctionCount; ++i) {
        const wchar_t* section = kWpsFunctionNames[i];
        unsigned delay = GetPrivateProfileIntW(section, L"delay", kWpsDefaultDelayMs[i], file.c_str());
        unsigned fail = GetPrivateProfileIntW(section, L"fail", 0, file.c_str());
        unsigned hang = GetPrivateProfileIntW(section, L"hang", 0, file.c_str());
        std::wstring status = ReadBenchString(file, section, L"status");
        wprintf(L"%-24ls delay=%u%ls%ls%ls%ls\n", section, delay, fail ? L" fail" : L"",
                hang == kWpsHangDeaf ? L" hang(deaf)" : hang ? L" hang" : L"",
                status.empty() ? L"" : L" status=", status.c_str());
    }
}

int WpsScenarioCommand(int argc, wchar_t** argv)
{
    const wchar_t* command = argc > 1 ? argv[1] : L"show";
    WpsFunction function = WpsFunctionCount;

    if (wcscmp(command, L"fail") == 0) {
        if (!FunctionArgument(argc, argv, 2, function))
            return 2;
        bool off = argc > 3 && wcscmp(argv[3], L"off") == 0;
        WriteScenario(kWpsFunctionNames[function], L"fail", off ? L"0" : L"1");
        return 0;
    }
    if (wcscmp(command, L"delay") == 0) {
        unsigned long long ms = 0;
        if (!FunctionArgument(argc, argv, 2, function))
            return 2;
        if (argc < 4 || !ParseNumber(argv[3], ms)) {
            PrintUsageError(L"wps delay takes a function and milliseconds");
            return 2;
        }
        WriteScenario(kWpsFunctionNames[function], L"delay", std::to_wstring(ms));
        return 0;
    }
    if (wcscmp(command, L"hang") == 0) {
        if (!FunctionArgument(argc, argv, 2, function))
            return 2;
        bool off = argc > 3 && wcscmp(argv[3], L"off") == 0;
        unsigned hang = off ? 0 : HasFlag(argc, argv, L"--deaf") ? kWpsHangDeaf : kWpsHangListens;
        WriteScenario(kWpsFunctionNames[function], L"hang", std::to_wstring(hang));
        return 0;
    }
    if (wcscmp(command, L"status") == 0) {
        if (argc < 3 || argv[2][0] == L'-') {
            PrintUsageError(L"wps status takes codes such as 21 or 9,10");
            return 2;
        }
        function = WpsFindAp;
        if (OptionValue(argc, argv, L"--during")) {
            for (int i = 0; i + 1 < argc; ++i)
                if (wcscmp(argv[i], L"--during") == 0 && !FunctionArgument(argc, argv, i + 1, function))
                    return 2;
        }
        WriteScenario(kWpsFunctionNames[function], L"status", wcscmp(argv[2], L"off") == 0 ? L"" : argv[2]);
        return 0;
    }
    if (wcscmp(command, L"clear") == 0) {
        if (!FunctionArgument(argc, argv, 2, function))
            return 2;
        WritePrivateProfileStringW(kWpsFunctionNames[function], nullptr, nullptr, WpsScenarioFile().c_str());
        return 0;
    }
    if (wcscmp(command, L"reset") == 0) {
        // The button state lives in the same file and survives a reset.
        for (const wchar_t* section : kWpsFunctionNames)
            WritePrivateProfileStringW(section, nullptr, nullptr, WpsScenarioFile().c_str());
        return 0;
    }
    if (wcscmp(command, L"show") == 0) {
        ShowScenario();
        return 0;
    }
    PrintUsageError(L"unknown wps command");
    return 2;
}

int CallsCommand(int argc, wchar_t** argv)
{
    std::wstring log = WpsCallLogFile();
    if (argc > 1 && wcscmp(argv[1], L"clear") == 0) {
        DeleteFileW(log.c_str());
        return 0;
    }
    bool withButton = !HasFlag(argc, argv, L"--no-button");
    FILE* file = _wfopen(log.c_str(), L"rb");
    if (!file)
        return 0;
    char line[1024];
    while (fgets(line, sizeof(line), file)) {
        if (!withButton && (strstr(line, "wps_gpio_") || strstr(line, "_hwbutton_") || strstr(line, "button thread")))
            continue;
        size_t length = strlen(line);
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            line[--length] = 0;
        printf("%s\n", line);
    }
    fclose(file);
    return 0;
}

} // namespace

void WriteScenario(const wchar_t* section, const wchar_t* key, const std::wstring& value)
{
    WritePrivateProfileStringW(section, key, value.c_str(), WpsScenarioFile().c_str());
}

void PrintWpsHelp()
{
    wprintf(L"Access points offered to a push-button search (bench\\access_points.ini):\n"
            L"  ap add <ssid> [--key TEXT | --key-hex HEX] [--auth WPA2-PSK] [--encr 8]\n"
            L"         [--bssid 02:00:00:00:00:01] [--no-pbc] [--credential-hex 256-HEX-DIGITS]\n"
            L"                                add an access point (in push-button mode unless --no-pbc)\n"
            L"  ap list                       show them\n"
            L"  ap pbc <ssid|bssid> [on|off]  put one in or out of push-button mode\n"
            L"  ap remove <ssid|bssid>        take one away\n"
            L"  ap clear                      no access points\n"
            L"\n"
            L"The adapter's WPS button (bench\\wps_scenario.ini):\n"
            L"  button press [--for MS | --reads N]\n"
            L"                                held until released, for MS milliseconds, or for the\n"
            L"                                library's next N reads however late it learns of it\n"
            L"  button release\n"
            L"  button supported|unsupported  whether the adapter has a readable button\n"
            L"  button show\n"
            L"\n"
            L"How the WPS library calls behave (FN is e.g. open, findAP, getAP, join,\n"
            L"get_AP_info, close, or the full name wps_findAP):\n"
            L"  wps delay FN MS               the call runs MS milliseconds\n"
            L"  wps fail FN [off]             the call answers false\n"
            L"  wps hang FN [--deaf | off]    the call never returns by itself; it still stops\n"
            L"                                when the status callback answers false, unless --deaf\n"
            L"  wps status CODES [--during FN]  report these codes (e.g. 21 or 9,10) through the\n"
            L"                                callback while FN runs (default findAP); 'off' clears\n"
            L"  wps clear FN                  FN behaves normally again\n"
            L"  wps reset                     every call behaves normally again\n"
            L"  wps show\n"
            L"\n"
            L"The library's call log (bench\\wps_calls.log):\n"
            L"  calls [--no-button]           print it, with time and arguments\n"
            L"  calls clear                   empty it\n"
            L"\n");
}

int RunWpsCommand(int argc, wchar_t** argv)
{
    const wchar_t* group = argv[0];
    if (argc > 1 && (wcscmp(argv[1], L"--help") == 0 || wcscmp(argv[1], L"help") == 0)) {
        PrintWpsHelp();
        return 0;
    }
    if (wcscmp(group, L"ap") == 0)
        return AccessPointCommand(argc, argv);
    if (wcscmp(group, L"button") == 0)
        return ButtonCommand(argc, argv);
    if (wcscmp(group, L"wps") == 0)
        return WpsScenarioCommand(argc, argv);
    return CallsCommand(argc, argv);
}
