#include "launcher/tests/tray_record.h"

#include <windows.h>

#include <sstream>

#include "launcher/process_launch.h"
#include "platform/scoped_resource.h"

namespace tqn::test {

namespace {

std::wstring LongName(const std::wstring& path) {
    return path.rfind(L"\\\\?\\", 0) == 0 ? path : L"\\\\?\\" + path;
}

bool ReadWholeFile(const std::wstring& path, std::string& content) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    char chunk[4096];
    DWORD read = 0;
    content.clear();
    while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        content.append(chunk, read);
    }
    return true;
}

}  // namespace

RecordExpectation::RecordExpectation() : path_(TempFolder() + L"\\" + UniqueName(L"tray-record")) {
    ::DeleteFileW(path_.c_str());
    ::SetEnvironmentVariableW(L"TQN_TRAY_RECORD", path_.c_str());
}

RecordExpectation::~RecordExpectation() {
    ::SetEnvironmentVariableW(L"TQN_TRAY_RECORD", nullptr);
    // A late child may still write: give it a moment, then remove both names.
    ::DeleteFileW(path_.c_str());
    ::DeleteFileW((path_ + L".partial").c_str());
}

bool RecordExpectation::Wait(TrayRecord& record, unsigned timeoutMs) const {
    std::string content;
    for (unsigned waited = 0; waited <= timeoutMs; waited += 50) {
        if (ReadWholeFile(path_, content)) {
            record.clear();
            std::istringstream lines(content);
            std::string line;
            while (std::getline(lines, line)) {
                const auto equals = line.find('=');
                if (equals != std::string::npos) {
                    record[line.substr(0, equals)] = line.substr(equals + 1);
                }
            }
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

bool RecordExpectation::StaysAbsent(unsigned waitMs) const {
    ::Sleep(waitMs);
    return ::GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES;
}

std::wstring TrayProbePath() { return ProgramFolder() + L"\\tray_probe.exe"; }

std::wstring CopyTrayProbe(const std::wstring& folder, const std::wstring& name) {
    const std::wstring target = folder + L"\\" + name;
    if (!::CopyFileW(TrayProbePath().c_str(), LongName(target).c_str(), FALSE)) return {};
    return target;
}

std::wstring WideField(const TrayRecord& record, const std::string& key) {
    const auto found = record.find(key);
    if (found == record.end()) return {};
    const std::string& bytes = found->second;
    if (bytes.empty()) return {};
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          length);
    return text;
}

std::wstring LaunchPathSeen(const TrayRecord& record) {
    if (record.count("desktop") == 0 || record.count("start_x") == 0) return L"no desktop or x position in the record";
    const std::wstring desktop = WideField(record, "desktop");
    const std::wstring startX = WideField(record, "start_x");
    const bool mediumMarker = startX == std::to_wstring(kMediumIntegrityStartMarker);
    if (desktop == L"winsta0\\default" && startX == L"0") return L"session";
    if (desktop.empty()) return mediumMarker ? L"medium" : startX == L"0" ? L"plain" : L"x position " + startX;
    return L"desktop \"" + desktop + L"\", x position " + startX;
}

}  // namespace tqn::test
