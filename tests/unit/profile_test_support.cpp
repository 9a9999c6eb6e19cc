#include "profile_test_support.h"

#include <objbase.h>
#include <xmllite.h>

#include <ostream>

#include "contract.h"
#include "fake_console_user.h"
#include "handoff_file.h"
#include "profile_writer.h"
#include "service_state.h"


bool SignInWithTempFolder(const std::wstring& folder)
{
    fake_console_user::SignIn(folder);
    return RecordHandOffUser(g_service.HandOff);
}

ParsedProfile ParseProfile(const std::string& bytes)
{
    ParsedProfile parsed;
    UniqueCom<IStream> input;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, input.put())))
        return parsed;
    input->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER start{};
    input->Seek(start, STREAM_SEEK_SET, nullptr);

    UniqueCom<IXmlReader> reader;
    if (FAILED(CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.put()), nullptr)) ||
        FAILED(reader->SetInput(input.get())))
        return parsed;

    std::vector<size_t> open;
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        const wchar_t* text = nullptr;
        if (type == XmlNodeType_Element) {
            reader->GetLocalName(&text, nullptr);
            std::wstring path = open.empty() ? text : parsed.elements[open.back()].path + L"/" + text;
            const wchar_t* ns = nullptr;
            reader->GetNamespaceUri(&ns, nullptr);
            parsed.elements.push_back({path, L"", ns});
            bool empty = reader->IsEmptyElement();
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK;
                 more = reader->MoveToNextAttribute()) {
                const wchar_t* name = nullptr;
                const wchar_t* value = nullptr;
                reader->GetQualifiedName(&name, nullptr);
                reader->GetValue(&value, nullptr);
                parsed.attributes.push_back({path, name, value});
            }
            if (empty)
                parsed.anyEmptyTag = true;
            else
                open.push_back(parsed.elements.size() - 1);
        } else if (type == XmlNodeType_Text && !open.empty()) {
            reader->GetValue(&text, nullptr);
            parsed.elements[open.back()].text += text;
        } else if (type == XmlNodeType_EndElement && !open.empty()) {
            open.pop_back();
        }
    }
    parsed.ok = hr == S_FALSE && open.empty();
    return parsed;
}

void documented::PrintTo(const ProfileElement& element, std::ostream* os)
{
    *os << ToBytes(element.path) << " = \"" << ToBytes(element.text) << "\" in " << ToBytes(element.ns);
}

void PrintTo(const ProfileAttribute& attribute, std::ostream* os)
{
    *os << ToBytes(attribute.element) << " @" << ToBytes(attribute.name) << " = \"" << ToBytes(attribute.value)
        << "\"";
}
