#pragma once

// The access points of the bench: what the WPS stand-in offers to a
// push-button search, and what the Native Wifi stand-in joins when a stored
// profile names one of them. Kept in bench\access_points.ini:
//
//   [access_points]  count=N
//   [apI]            ssid, bssid (aa:bb:cc:dd:ee:ff), key_management,
//                    network_key (text), network_key_hex (raw bytes, wins
//                    over network_key), encryption (1, 2, 4, 8, 12...),
//                    push_button (1 while in push-button mode),
//                    credential_hex (all 128 bytes of the record, wins over
//                    every field above when present)

#include <windows.h>

#include <string>
#include <vector>

#include "bench_dir.h"

struct BenchAccessPoint {
    std::wstring ssid;
    std::wstring bssid = L"02:00:00:00:00:01";
    std::wstring keyManagement = L"WPA2-PSK";
    std::wstring networkKey;
    std::wstring networkKeyHex;
    unsigned encryption = 8;
    bool pushButton = true;
    std::wstring credentialHex;
};

inline std::wstring AccessPointsFile(const std::wstring& bench = BenchDirectory())
{
    return bench + L"\\access_points.ini";
}

inline std::wstring ReadBenchString(const std::wstring& file, const std::wstring& section, const wchar_t* key,
                                    const wchar_t* fallback = L"")
{
    wchar_t value[1024];
    GetPrivateProfileStringW(section.c_str(), key, fallback, value, ARRAYSIZE(value), file.c_str());
    return value;
}

inline std::vector<BenchAccessPoint> ReadAccessPoints()
{
    std::wstring file = AccessPointsFile();
    std::vector<BenchAccessPoint> points;
    UINT count = GetPrivateProfileIntW(L"access_points", L"count", 0, file.c_str());
    for (UINT i = 0; i < count; ++i) {
        std::wstring section = L"ap" + std::to_wstring(i);
        BenchAccessPoint ap;
        ap.ssid = ReadBenchString(file, section, L"ssid");
        ap.bssid = ReadBenchString(file, section, L"bssid", ap.bssid.c_str());
        ap.keyManagement = ReadBenchString(file, section, L"key_management", ap.keyManagement.c_str());
        ap.networkKey = ReadBenchString(file, section, L"network_key");
        ap.networkKeyHex = ReadBenchString(file, section, L"network_key_hex");
        ap.encryption = GetPrivateProfileIntW(section.c_str(), L"encryption", ap.encryption, file.c_str());
        ap.pushButton = GetPrivateProfileIntW(section.c_str(), L"push_button", 1, file.c_str()) != 0;
        ap.credentialHex = ReadBenchString(file, section, L"credential_hex");
        points.push_back(ap);
    }
    return points;
}

inline void WriteAccessPoints(const std::vector<BenchAccessPoint>& points)
{
    std::wstring file = AccessPointsFile();
    DeleteFileW(file.c_str());
    WritePrivateProfileStringW(L"access_points", L"count", std::to_wstring(points.size()).c_str(), file.c_str());
    for (size_t i = 0; i < points.size(); ++i) {
        const BenchAccessPoint& ap = points[i];
        std::wstring section = L"ap" + std::to_wstring(i);
        const wchar_t* s = section.c_str();
        WritePrivateProfileStringW(s, L"ssid", ap.ssid.c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"bssid", ap.bssid.c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"key_management", ap.keyManagement.c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"network_key", ap.networkKey.c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"network_key_hex", ap.networkKeyHex.c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"encryption", std::to_wstring(ap.encryption).c_str(), file.c_str());
        WritePrivateProfileStringW(s, L"push_button", ap.pushButton ? L"1" : L"0", file.c_str());
        WritePrivateProfileStringW(s, L"credential_hex", ap.credentialHex.c_str(), file.c_str());
    }
}
