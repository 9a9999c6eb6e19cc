// The shown dialog in the language of the system locale that CTest gives this
// run: the right library's texts, each fitting its control, and a screenshot
// of the idle and the longest result text under build\screenshots.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "agent_bench.h"
#include "bench_support.h"
#include "localised_text.h"
#include "main_dialog.h"
#include "resource.h"
#include "unique_handle.h"

using namespace agent_bench;
using bench::Environment;

namespace {

// The screen under the window, a few pixels around it, as a PNG file.
bool SaveWindowShot(HWND window, const std::wstring& path)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    InflateRect(&rect, 6, 6);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    GdiFlush();
    std::vector<BYTE> pixels(static_cast<BYTE*>(bits), static_cast<BYTE*>(bits) + width * height * 4);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 0xFF;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    UniqueCom<IWICImagingFactory> factory;
    UniqueCom<IWICStream> stream;
    UniqueCom<IWICBitmapEncoder> encoder;
    UniqueCom<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(factory.put()))) &&
           SUCCEEDED(factory->CreateStream(stream.put())) &&
           SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
           SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
           SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
           SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
           SUCCEEDED(frame->WritePixels(height, width * 4, static_cast<UINT>(pixels.size()), pixels.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// The dialog's font as this process can make it: Tahoma 8 pt.
HFONT DialogFont()
{
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
}

SIZE ClientSize(HWND window)
{
    RECT rect{};
    GetClientRect(window, &rect);
    return {rect.right, rect.bottom};
}

// Width of one line of text, and height of text wrapped into width.
SIZE Measure(HFONT font, const std::wstring& text, LONG wrapWidth)
{
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    RECT rect{0, 0, wrapWidth, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrapWidth ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(screen, text.c_str(), -1, &rect, flags);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return {rect.right, rect.bottom};
}

// A Wine prefix made in an English locale keeps its caption font to the Western
// character set, which Wine does not link to other fonts; a Windows installation
// in these languages captions with a font that has their characters.
void LetCaptionsUseAnyCharacterSet()
{
    const wchar_t* const metrics = L"Control Panel\\Desktop\\WindowMetrics";
    LOGFONTW font{};
    DWORD size = sizeof(font);
    if (!RegGetValueW(HKEY_CURRENT_USER, metrics, L"CaptionFont", RRF_RT_REG_BINARY, nullptr, &font, &size) &&
        size == sizeof(font) && font.lfCharSet != DEFAULT_CHARSET) {
        font.lfCharSet = DEFAULT_CHARSET;
        RegSetKeyValueW(HKEY_CURRENT_USER, metrics, L"CaptionFont", REG_BINARY, &font, sizeof(font));
    }
}

class AgentLanguageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bench::PrepareInstallDirectory();
        LetCaptionsUseAnyCharacterSet();
    }
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override
    {
        agent_.Stop();
        CoUninitialize();
    }
    AgentProcess agent_;
};

TEST_F(AgentLanguageTest, TheShownDialogSpeaksTheLocalesLanguageAndEveryTextFits)
{
    std::wstring expectedLibrary = Environment(L"TOLVEK_EXPECTED_LIBRARY");
    std::wstring shotName = Environment(L"TOLVEK_SHOT_NAME");
    ASSERT_FALSE(expectedLibrary.empty()) << "run through CTest, which sets the locale";

    LanguageChoice choice = LanguageForLocale(GetSystemDefaultLCID());
    ASSERT_STREQ(choice.library, expectedLibrary.c_str()) << std::hex << GetSystemDefaultLCID();
    HMODULE library = LoadLibraryExW(bench::InstalledFile(expectedLibrary).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(library, nullptr);
    SetTextLanguage(choice.language);
    auto text = [&](UINT id) {
        std::wstring found;
        EXPECT_TRUE(LoadText(library, id, found)) << id;
        return found;
    };

    FakeService service;
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(service.CreateButtonEvent());
    ASSERT_TRUE(service.CreateDoneEvent());
    ASSERT_TRUE(agent_.StartHidden());
    ASSERT_TRUE(service.Press());
    // Within the agent's own service check: load only makes it later.
    ASSERT_TRUE(agent_.WaitVisible(true, kServiceCheckMs));
    Sleep(300); // let it paint
    HWND dialog = agent_.Window();

    EXPECT_EQ(WindowText(dialog), text(IDS_CAPTION));
    EXPECT_EQ(ItemText(dialog, IDC_ACTION_BUTTON), text(IDS_ACTION_CANCEL));
    EXPECT_EQ(ItemText(dialog, IDC_MESSAGE_TEXT), text(IDS_PRESS_ROUTER_BUTTON));

    std::wstring shots = bench::BuildDirectory() + L"\\screenshots";
    CreateDirectoryW(shots.c_str(), nullptr);
    EXPECT_TRUE(SaveWindowShot(dialog, shots + L"\\agent-" + shotName + L".png"));

    HFONT font = DialogFont();
    SIZE button = ClientSize(GetDlgItem(dialog, IDC_ACTION_BUTTON));
    SIZE message = ClientSize(GetDlgItem(dialog, IDC_MESSAGE_TEXT));
    for (UINT id : {IDS_ACTION_CANCEL, IDS_ACTION_DISMISS}) {
        // Room for the button's frame and focus rectangle on either side.
        EXPECT_LE(Measure(font, text(id), 0).cx + 8, button.cx) << id;
    }
    for (UINT id : {IDS_PRESS_ROUTER_BUTTON, IDS_RESULT_FAILED, IDS_RESULT_OVERLAP, IDS_RESULT_SUCCEEDED})
        EXPECT_LE(Measure(font, text(id), message.cx).cy, message.cy) << id;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT captionFont = CreateFontIndirectW(&metrics.lfCaptionFont);
    RECT window{};
    GetWindowRect(dialog, &window);
    // The caption also holds the small icon.
    EXPECT_LE(Measure(captionFont, text(IDS_CAPTION), 0).cx + 2 * GetSystemMetrics(SM_CXSMICON),
              window.right - window.left);
    DeleteObject(captionFont);
    DeleteObject(font);

    // The longest result text, put in from here, as the user would see it.
    SetDlgItemTextW(dialog, IDC_MESSAGE_TEXT, text(IDS_RESULT_OVERLAP).c_str());
    SetDlgItemTextW(dialog, IDC_ACTION_BUTTON, text(IDS_ACTION_DISMISS).c_str());
    Sleep(300);
    EXPECT_TRUE(SaveWindowShot(dialog, shots + L"\\agent-" + shotName + L"-overlap.png"));
    FreeLibrary(library);
}

} // namespace
