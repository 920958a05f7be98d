// Prints the gathered Windows facts, the record's flags and its display name
// as "key=value" lines in UTF-8 on standard output. Exit code 0 when both the
// gathering and the record succeeded.
#include <windows.h>

#include <string>

#include "crypt/format.h"
#include "platform/os_info.h"

namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size, nullptr, nullptr);
    return result;
}

bool WriteAll(HANDLE out, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                         nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

void AddLine(std::wstring& text, const wchar_t* key, unsigned long value) {
    tqn::AppendFormat(text, L"%ls=%lu\n", key, value);
}

}  // namespace

int main() {
    tqn::OsFacts facts;
    SYSTEM_INFO systemInfo{};
    const bool gathered = tqn::GatherOsFacts(facts, systemInfo);
    tqn::EnsureOsInfo();
    const tqn::OsInfoRecord& record = tqn::OsInfo();

    std::wstring text;
    AddLine(text, L"facts.gathered", gathered ? 1 : 0);
    AddLine(text, L"facts.platformId", facts.platformId);
    AddLine(text, L"facts.major", facts.major);
    AddLine(text, L"facts.minor", facts.minor);
    AddLine(text, L"facts.build", facts.build);
    AddLine(text, L"facts.productType", facts.productType);
    AddLine(text, L"facts.suiteMask", facts.suiteMask);
    tqn::AppendFormat(text, L"facts.csdVersion=%ls\n", facts.csdVersion.c_str());
    AddLine(text, L"facts.productInfo", facts.productInfo);
    AddLine(text, L"facts.serverR2Metric", static_cast<unsigned long>(facts.serverR2Metric));
    AddLine(text, L"facts.architecture", facts.architecture);
    AddLine(text, L"record.gathered", static_cast<unsigned long>(record.gathered));
    AddLine(text, L"record.architecture", record.systemInfo.wProcessorArchitecture);
    AddLine(text, L"flags.ntPlatform", record.flags.ntPlatform);
    AddLine(text, L"flags.nt50OrLater", record.flags.nt50OrLater);
    AddLine(text, L"flags.vistaOrLater", record.flags.vistaOrLater);
    AddLine(text, L"flags.windows7", record.flags.windows7);
    AddLine(text, L"flags.server2008", record.flags.server2008);
    AddLine(text, L"flags.server2008R2", record.flags.server2008R2);
    AddLine(text, L"flags.windows8", record.flags.windows8);
    AddLine(text, L"flags.server2012Family", record.flags.server2012Family);
    AddLine(text, L"flags.windows10", record.flags.windows10);
    AddLine(text, L"isNtPlatform", static_cast<unsigned long>(tqn::IsNtPlatform()));
    tqn::AppendFormat(text, L"displayName=%ls\n", record.displayName.c_str());

    const bool written = WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), ToUtf8(text));
    return gathered && record.gathered != 0 && !record.displayName.empty() && written ? 0 : 1;
}
