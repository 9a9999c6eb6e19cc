#include "service_bench.h"

#include <fstream>
#include <sstream>

#include "contract.h"
#include "parameters_key.h"
#include "wps_bench.h"

namespace bench {

void PlugAdapter()
{
    Testbed(std::wstring(L"wlan add \"Tolvek Lark Wireless USB Adapter\" --guid ") + kAdapterGuid);
}

std::vector<WlanCall> WlanCallsOf(const wchar_t* program, const wchar_t* function)
{
    std::vector<WlanCall> calls;
    for (const WlanCall& call : ReadWlanCalls(WlanCallLogFile(Records())))
        if (call.program == program && call.function == function)
            calls.push_back(call);
    return calls;
}

std::vector<WpsLogLine> ReadWpsLog()
{
    std::vector<WpsLogLine> lines;
    std::ifstream file(WpsCallLogFile(Records()).c_str());
    std::string text;
    while (std::getline(file, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::istringstream in(text);
        WpsLogLine line;
        std::string clock;
        in >> line.ms >> clock >> line.kind;
        std::getline(in >> std::ws, line.rest);
        if (line.kind == "call" || line.kind == "back")
            line.function = line.rest.substr(0, line.rest.find_first_of("( "));
        lines.push_back(line);
    }
    return lines;
}

const WpsLogLine* FindWpsLine(const std::vector<WpsLogLine>& log, const std::string& kind,
                              const std::string& function)
{
    for (const WpsLogLine& line : log)
        if (line.kind == kind && line.function == function)
            return &line;
    return nullptr;
}

int CountWpsLines(const std::vector<WpsLogLine>& log, const std::string& kind, const std::string& rest)
{
    int count = 0;
    for (const WpsLogLine& line : log)
        count += line.Is(kind, rest);
    return count;
}

bool WaitForWpsLine(const std::string& kind, const std::string& function, DWORD timeoutMs)
{
    return WaitFor([&] { return FindWpsLine(ReadWpsLog(), kind, function) != nullptr; }, timeoutMs);
}

bool WaitForStopped(DWORD timeoutMs)
{
    return WaitFor([] { return ServiceCurrentState() == SERVICE_STOPPED; }, timeoutMs, 20);
}

std::wstring HandOffFile()
{
    return TempFolder() + L"\\" + kHandOffFileName;
}

bool ServiceBench::OpenEventPair()
{
    return WaitFor(
        [&] {
            button_.reset(OpenEventW(kAgentEventAccess, FALSE, kButtonEventName));
            done_.reset(OpenEventW(kAgentEventAccess, FALSE, kDoneEventName));
            return button_ && done_;
        },
        5000);
}

DWORD ServiceBench::WaitDone(DWORD timeoutMs)
{
    if (WaitForSingleObject(done_.get(), timeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "DoneEvent not signalled within " << timeoutMs << " ms";
        return 0xFFFFFFFF;
    }
    return ReadExitCode();
}

} // namespace bench
