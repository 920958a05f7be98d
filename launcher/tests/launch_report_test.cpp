// LaunchReport.exe under Wine, copied beside Launch.exe in test products:
// what it says of each product state, as text and as JSON, and that a run
// leaves every byte it looked at as it was.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "assoc/key_operation.h"
#include "assoc/tests/scratch_registry.h"
#include "crypt/utf8_codec.h"
#include "environment/global_data.h"
#include "launcher/tests/held_mutex.h"
#include "launcher/tests/test_product.h"
#include "platform/scoped_resource.h"

using namespace tqn::testing;
using Json = nlohmann::json;

namespace {

struct ReportRun {
    DWORD textExit = 99;
    std::string text;
    DWORD jsonExit = 99;
    Json json;  // null when the output was no JSON
    DWORD processes = 0;  // every process the two runs made, the report's own included
};

ReportRun RunReport(const TestProduct& product) {
    ReportRun run;
    // Each run inside a job: every process it or its children start is
    // counted, however briefly it lives.
    run.text = product.RunProgramFile(L"LaunchReport.exe", L"", run.textExit, &run.processes);
    const std::string json = product.RunProgramFile(L"LaunchReport.exe", L"--json", run.jsonExit, &run.processes);
    Json parsed = Json::parse(json, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << json;
    if (!parsed.is_discarded()) run.json = std::move(parsed);
    return run;
}

bool Says(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

// A descriptor that lets only SYSTEM in, and puts the former one back after.
class RefusingKey {
public:
    RefusingKey(HKEY root, std::wstring path) : root_(root), path_(std::move(path)) {
        tqn::ScopedKey key;
        EXPECT_EQ(::RegOpenKeyExW(root_, path_.c_str(), 0, READ_CONTROL | WRITE_DAC, key.Receive()), ERROR_SUCCESS);
        DWORD size = 0;
        ::RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        former_.resize(size);
        EXPECT_EQ(::RegGetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, former_.data(), &size), ERROR_SUCCESS);
        PSECURITY_DESCRIPTOR refusing = nullptr;
        EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;SY)", SDDL_REVISION_1,
                                                                           &refusing, nullptr));
        tqn::ScopedLocalMemory owner(refusing);
        EXPECT_EQ(::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, refusing), ERROR_SUCCESS);
    }
    ~RefusingKey() {
        tqn::ScopedKey key;  // the owner may still change the DACL
        EXPECT_EQ(::RegOpenKeyExW(root_, path_.c_str(), 0, WRITE_DAC, key.Receive()), ERROR_SUCCESS);
        EXPECT_EQ(::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, former_.data()), ERROR_SUCCESS);
    }

private:
    HKEY root_;
    std::wstring path_;
    std::vector<BYTE> former_;
};

}  // namespace

class LaunchReport : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tqn::GlobalData().ReadProductFolder().empty()); }
};

// One table of product states and what the report says of each. Under Wine
// every process is an elevated administrator on Windows 7 (Wine's default):
// a damaged registration is repaired on the way, and the tray program goes
// the medium-integrity way.
TEST_F(LaunchReport, ProductStates) {
    const TestProduct installed((ProductOptions()));
    const std::wstring mutexName = L"tqn-report-" + NewGuidText();
    using Check = std::function<void(const TestProduct&, ReportRun&)>;
    // What a row puts in place around the product before the report runs.
    using Prepare = std::function<std::shared_ptr<void>(const TestProduct&)>;
    const struct {
        const char* what;
        ProductOptions options;
        DWORD exitCode;
        Check check;
        Prepare prepare = nullptr;
    } rows[] = {
        {"healthy", ProductOptions().Registered(true), 0,
         [](const TestProduct& p, ReportRun& r) {
             const std::string folder = Utf8(p.Path());
             EXPECT_EQ(r.json["association"]["intact"], true);
             EXPECT_EQ(r.json["productFolder"]["folder"], folder);
             EXPECT_EQ(r.json["productFolder"]["origin"], "programFolder");
             for (size_t i = 0; i < 3; ++i) EXPECT_EQ(r.json["modules"][i]["wouldLoad"], true) << i;
             EXPECT_EQ(r.json["modules"][1]["path"], folder + "\\config.tqm");
             EXPECT_EQ(r.json["modules"][1]["signer"], "Brennick Corp.");
             EXPECT_EQ(r.json["productRoot"]["reason"], "sameFolder");
             EXPECT_EQ(r.json["settings"]["EXT_NAME"], Utf8(p.Extension()));
             EXPECT_EQ(r.json["settings"]["scriptMode"], "sharedBlock");
             EXPECT_EQ(r.json["dispatch"][0]["action"], "startTray");
             EXPECT_EQ(r.json["dispatch"][0]["launchPath"], "medium");
             EXPECT_EQ(r.json["dispatch"][0]["startedAs"], "\"" + folder + "\\tray_probe.exe\" /launch");
             EXPECT_EQ(r.json["dispatch"][3]["startedAs"], "\"" + folder + "\\uninstall_probe.exe\"");
             EXPECT_EQ(r.json["trace"]["file"], folder + "\\Logs\\launch.log");
             EXPECT_EQ(r.json["trace"]["dumpFile"], folder + "\\Logs\\Launch.exe.dmp");
             EXPECT_TRUE(Says(r.text, "Association of \"." + Utf8(p.Extension()) + "\": intact\n"));
             EXPECT_TRUE(Says(r.text, "The usual road would start the tray program (exit code 0).\n"));
         }},
        {"damaged registration", ProductOptions(), 0,
         [](const TestProduct& p, ReportRun& r) {
             const std::string key = "HKEY_CLASSES_ROOT\\." + Utf8(p.Extension());
             EXPECT_EQ(r.json["association"]["intact"], false);
             EXPECT_EQ(r.json["association"]["conditions"][0]["key"], key);
             EXPECT_EQ(r.json["association"]["conditions"][0]["holds"], false);
             EXPECT_TRUE(r.json["association"]["conditions"][1]["found"].is_null());
             EXPECT_EQ(r.json["dispatch"][0]["repairs"], true);
             EXPECT_TRUE(Says(r.text, "    " + key + ": key missing -> fails\n")) << r.text;
         }},
        {"configuration module of a third party", ProductOptions().ConfigSigner(L"thirdparty"), 1,
         [](const TestProduct&, ReportRun& r) {
             EXPECT_EQ(r.json["modules"][1]["signer"], "Orrin Tools Ltd.");
             EXPECT_EQ(r.json["modules"][1]["signature"]["meaning"], "trusted");
             EXPECT_EQ(r.json["modules"][1]["wouldLoad"], false);
             EXPECT_EQ(r.json["productRoot"]["reason"], "noConfiguration");
             EXPECT_EQ(r.json["dispatch"][0]["reason"], "rootNotConfirmed");
             EXPECT_TRUE(Says(r.text, "signer \"Orrin Tools Ltd.\"\n    Launch.exe would load it: no: the signer is"))
                 << r.text;
         }},
        {"a copy outside the recorded folder",
         ProductOptions().RecordedFolder(installed.Path()).WithRootDir(ProductOptions::RootDir::Untouched), 1,
         [&installed](const TestProduct& p, ReportRun& r) {
             EXPECT_EQ(r.json["productRoot"]["reason"], "otherFolder");
             EXPECT_EQ(r.json["productRoot"]["recordedFolder"], Utf8(installed.Path()));
             EXPECT_EQ(r.json["productRoot"]["programFolder"], Utf8(p.Path()));
             EXPECT_TRUE(Says(r.text, "Product root: not confirmed: the recorded folder " + Utf8(installed.Path()) +
                                          " is not the program folder " + Utf8(p.Path()) + "\n"))
                 << r.text;
         }},
        {"an uninstall running", ProductOptions().Registered(true).ExtraData("uninstallMutexName = " + Utf8(mutexName) + "\n"),
         1,
         [&mutexName](const TestProduct&, ReportRun& r) {
             EXPECT_EQ(r.json["uninstallGuard"]["mutexName"], Utf8(mutexName));
             EXPECT_EQ(r.json["uninstallGuard"]["running"], true);
             EXPECT_EQ(r.json["dispatch"][0]["reason"], "uninstallRunning");
             EXPECT_EQ(r.json["dispatch"][1]["action"], "startTray");  // "/install" does not ask
             EXPECT_TRUE(Says(r.text, "Uninstall guard: mutex \"" + Utf8(mutexName) + "\" (probed as Local\\" +
                                          Utf8(mutexName) + "): held, an uninstall is running\n"))
                 << r.text;
         }},
        {"a registration key that refuses reading", ProductOptions().Registered(true), 0,
         [](const TestProduct& p, ReportRun& r) {
             EXPECT_EQ(r.json["association"]["conditions"][0]["refused"], true);
             EXPECT_EQ(r.json["association"]["intact"], false);
             EXPECT_TRUE(Says(r.text, "    HKEY_CLASSES_ROOT\\." + Utf8(p.Extension()) +
                                          ": the key refuses reading (not widened) -> fails\n"))
                 << r.text;
         }},
        {"settings naming files outside the program folder",
         ProductOptions().Registered(true).TrayFile(L"..\\x\\tray_probe.exe").UninstallFile(L"C:\\x.exe"), 1,
         [](const TestProduct&, ReportRun& r) {
             EXPECT_EQ(r.json["dispatch"][0]["reason"], "trayFileOutsideFolder");
             EXPECT_EQ(r.json["dispatch"][3]["reason"], "uninstallFileOutsideFolder");
             EXPECT_TRUE(Says(r.text, "start nothing: TRAY_FILE names a file outside the program folder\n")) << r.text;
         }},
        {"a block folder that is ignored, a trace file and a dump that are links",
         ProductOptions().Registered(true).TraceMethod(4), 0,
         [&installed](const TestProduct& p, ReportRun& r) {
             DWORD traceExit = 99;  // the linked file is not read either
             const std::string trace = p.RunProgramFile(L"LaunchReport.exe", L"--trace", traceExit);
             EXPECT_EQ(traceExit, 1u);
             EXPECT_TRUE(Says(trace, "launch.log (a link: not read;")) << trace;
             EXPECT_EQ(r.json["productFolder"]["sharedBlockFolder"], Utf8(installed.Path()));
             EXPECT_EQ(r.json["productFolder"]["sharedBlockFolderIgnored"], true);
             EXPECT_EQ(r.json["productFolder"]["origin"], "programFolder");
             EXPECT_EQ(r.json["trace"]["fileIsLink"], true);
             EXPECT_EQ(r.json["trace"]["dumpFileIsLink"], true);
             EXPECT_TRUE(Says(r.text, Utf8(installed.Path()) + " (ignored: neither the program folder nor RootDir's)\n"))
                 << r.text;
             for (const char* after : {"\n  log folder: ", "\n\nThe usual road"}) {
                 EXPECT_TRUE(Says(r.text, std::string("(a link: Launch.exe would remove that name, never write through it, and start a new file)") +
                                              after))
                     << r.text;
             }
         },
         [&installed](const TestProduct& p) -> std::shared_ptr<void> {
             // Both names are second names of one file of the product's.
             EXPECT_TRUE(WriteFileBytes(p.Path() + L"\\victim.txt", "[ 2026-01-01 00:00:00 000ms ] [x]        [secret]\r\n"));
             for (const wchar_t* name : {L"\\Logs\\launch.log", L"\\Logs\\Launch.exe.dmp"}) {
                 EXPECT_TRUE(::CreateHardLinkW((p.Path() + name).c_str(), (p.Path() + L"\\victim.txt").c_str(), nullptr));
             }
             return std::make_shared<StoredProductFolder>(installed.Path());
         }},
        {"a link among the keys the repair touches", ProductOptions().Registered(true), 0,
         [](const TestProduct& p, ReportRun& r) {
             const std::string link = "HKEY_CURRENT_USER\\" + Utf8(p.ExplorerKey()) + "\\OpenWithList";
             ASSERT_EQ(r.json["association"]["links"].size(), 1u);
             EXPECT_EQ(r.json["association"]["links"][0], link);
             EXPECT_TRUE(Says(r.text, "(removed or left, never acted through):\n    " + link + "\n")) << r.text;
         },
         [](const TestProduct& p) -> std::shared_ptr<void> {
             const std::wstring target = L"Software\\tqn-report-" + NewGuidText();
             const std::wstring link = p.ExplorerKey() + L"\\OpenWithList";
             tqn::test::SetString(HKEY_CURRENT_USER, target, L"a", L"notepad.exe");
             tqn::test::CreateKey(HKEY_CURRENT_USER, p.ExplorerKey());
             tqn::test::MakeLink(HKEY_CURRENT_USER, link, target);
             // The link goes as itself, before the product's cleanup could follow it.
             return std::shared_ptr<void>(nullptr, [target, link](void*) {
                 EXPECT_EQ(tqn::DeleteKeyItself(HKEY_CURRENT_USER, link), ERROR_SUCCESS);
                 ::RegDeleteTreeW(HKEY_CURRENT_USER, target.c_str());
             });
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const TestProduct product(row.options.Report(true));
        const std::shared_ptr<void> prepared = row.prepare ? row.prepare(product) : nullptr;
        std::unique_ptr<HeldMutex> uninstall;
        if (std::string(row.what) == "an uninstall running") uninstall = std::make_unique<HeldMutex>(L"Local\\" + mutexName);
        std::unique_ptr<RefusingKey> refusing;
        if (std::string(row.what) == "a registration key that refuses reading") {
            refusing = std::make_unique<RefusingKey>(HKEY_CLASSES_ROOT, L"." + product.Extension());
        }
        ReportRun run = RunReport(product);
        EXPECT_EQ(run.textExit, row.exitCode);
        EXPECT_EQ(run.jsonExit, row.exitCode);
        EXPECT_EQ(run.json["exitCode"], row.exitCode);
        EXPECT_EQ(run.processes, 2u);  // it starts nothing, whatever it finds
        row.check(product, run);
    }
}

namespace {

std::string Hex(const void* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<const unsigned char*>(data)[i];
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0xF]);
    }
    return hex;
}

// A key and everything below it: owner, group and DACL, each value's type and
// bytes. A key that refuses reading is recorded by its descriptor alone.
void DumpKey(HKEY root, const std::wstring& path, std::string& out) {
    out += Utf8(path) + ":";
    {
        tqn::ScopedKey control;
        if (::RegOpenKeyExW(root, path.c_str(), 0, READ_CONTROL, control.Receive()) != ERROR_SUCCESS) {
            out += " absent\n";
            return;
        }
        BYTE descriptor[4096] = {};
        DWORD size = sizeof descriptor;
        ::RegGetKeySecurity(control.Get(), OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                            DACL_SECURITY_INFORMATION, descriptor, &size);
        out += " security " + Hex(descriptor, size);
    }
    tqn::ScopedKey key;
    const LSTATUS opened = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive());
    if (opened != ERROR_SUCCESS) {
        out += " refuses " + std::to_string(opened) + "\n";
        return;
    }
    out += "\n";
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512, type = 0;
        BYTE data[4096];
        DWORD dataSize = sizeof data;
        if (::RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        out += "  " + Utf8(std::wstring(name, nameLength)) + " " + std::to_string(type) + " " + Hex(data, dataSize) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (::RegEnumKeyExW(key.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DumpKey(root, path + L"\\" + std::wstring(name, nameLength), out);
    }
}

void CloseSearch(HANDLE search) { ::FindClose(search); }
using ScopedSearch = tqn::ScopedResource<HANDLE, CloseSearch, tqn::InvalidHandleIsEmpty>;

// A folder's files with their sizes, and with their bytes when asked (one
// level: the product's folders hold no deeper data).
std::string DumpFolder(const std::wstring& folder, bool contents) {
    std::string out = Utf8(folder) + ":";
    WIN32_FIND_DATAW found{};
    const ScopedSearch search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return out + " absent\n";
    std::map<std::wstring, std::string> entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::string& entry = entries[name];
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry = "folder";
            continue;
        }
        entry = std::to_string(found.nFileSizeLow) + " " + std::to_string(found.ftLastWriteTime.dwLowDateTime) + " ";
        if (!contents) continue;
        std::string bytes;
        if (ReadFileBytes(folder + L"\\" + name, bytes)) entry += Hex(bytes.data(), bytes.size());
    } while (::FindNextFileW(search.Get(), &found));
    for (const auto& [name, entry] : entries) out += "  " + Utf8(name) + " " + entry + "\n";
    return out;
}

// Where two dumps part, with a little of each around it.
std::string Difference(const std::string& what, const std::string& before, const std::string& after) {
    size_t at = 0;
    while (at < before.size() && at < after.size() && before[at] == after[at]) ++at;
    const size_t from = at < 40 ? 0 : at - 40;
    return what + " changed at character " + std::to_string(at) + ":\n  before: ..." + before.substr(from, 120) +
           "\n  after:  ..." + after.substr(from, 120);
}

// Everything the report could have changed for a product.
std::map<std::string, std::string> Snapshot(const TestProduct& product) {
    std::map<std::string, std::string> snapshot;
    const std::wstring ext = product.Extension();
    DumpKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Brennick\\Tarvolin", snapshot["HKLM"]);
    for (const std::wstring& path : {L"." + ext, ext + L"file", ext + L"_auto_file"}) {
        DumpKey(HKEY_CLASSES_ROOT, path, snapshot["HKCR"]);
    }
    DumpKey(HKEY_CURRENT_USER, product.ExplorerKey(), snapshot["HKCU"]);
    snapshot["product folder"] = DumpFolder(product.Path(), false);
    snapshot["config folder"] = DumpFolder(product.Path() + L"\\config", true);
    snapshot["log folder"] = DumpFolder(product.Path() + L"\\Logs", true);
    const std::span<uint8_t> block = tqn::GlobalSharedBlock().Bytes();
    snapshot["global block"] = Hex(block.data(), block.size());
    return snapshot;
}

}  // namespace

// A healthy product whose first run Launch.exe has still to make (it would
// copy RootDir into the data configuration and record the trace file in the
// global block), a damaged one it would repair (an Explorer override, a
// class key to delete, the registration missing, no log folder yet), and one
// whose module folder is missing (Launch.exe's look-ups would make it): the
// report leaves every byte as it was, and starts nothing.
TEST_F(LaunchReport, LeavesEverythingAsItWas) {
    const struct {
        const char* what;
        ProductOptions options;
        std::function<void(const TestProduct&)> prepare;
        DWORD exitCode;
        std::function<void(Json&)> wouldWrite;  // what Launch.exe would change here
    } rows[] = {
        {"healthy, before its first run", ProductOptions().Registered(true).RootDirOnly(true),
         [](const TestProduct&) {}, 0,
         [](Json& json) {
             EXPECT_EQ(json["productRoot"]["copiesRootDir"], true);
             EXPECT_EQ(json["productRoot"]["confirmed"], true);
             EXPECT_EQ(json["trace"]["writesSlot"], true);
             EXPECT_EQ(json["dispatch"][0]["action"], "startTray");
         }},
        {"damaged", ProductOptions(),
         [](const TestProduct& p) {
             const std::wstring overrides = p.ExplorerKey();
             const std::wstring progid = L"txtfile";
             EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (overrides + L"\\UserChoice").c_str(), L"Progid", REG_SZ,
                                         progid.c_str(), static_cast<DWORD>((progid.size() + 1) * sizeof(wchar_t))),
                       ERROR_SUCCESS);
             EXPECT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, (overrides + L"\\OpenWithList").c_str(), L"a", REG_SZ,
                                         L"notepad.exe", 24),
                       ERROR_SUCCESS);
             EXPECT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, (p.Extension() + L"file\\shell").c_str(), nullptr, REG_SZ,
                                         L"open", 10),
                       ERROR_SUCCESS);
             EXPECT_TRUE(::RemoveDirectoryW((p.Path() + L"\\Logs").c_str()));
         },
         0,
         [](Json& json) {
             EXPECT_EQ(json["association"]["intact"], false);
             EXPECT_EQ(json["association"]["overrides"]["userChoice"], "txtfile");
             EXPECT_EQ(json["dispatch"][0]["repairs"], true);
             EXPECT_EQ(json["dispatch"][0]["action"], "startTray");  // an administrator repairs
             EXPECT_EQ(json["trace"]["logFolderExists"], false);
         }},
        {"its module folder missing", ProductOptions().Registered(true),
         [](const TestProduct& p) {
             std::string data;
             ASSERT_TRUE(ReadFileBytes(p.Path() + L"\\ptl.dat", data));
             const std::string from = "UTIL_FOLDER = %PRODUCT_FOLDER%\n";
             ASSERT_NE(data.find(from), std::string::npos);
             data.replace(data.find(from), from.size(), "UTIL_FOLDER = %PRODUCT_FOLDER%\\util\n");
             ASSERT_TRUE(WriteFileBytes(p.Path() + L"\\ptl.dat", data));
         },
         1,
         [](Json& json) {
             EXPECT_EQ(json["modules"][1]["present"], false);
             EXPECT_TRUE(json["modules"][1]["path"].get<std::string>().ends_with("\\util\\config.tqm")) << json["modules"][1]["path"];
             EXPECT_EQ(json["dispatch"][0]["reason"], "rootNotConfirmed");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const TestProduct product(row.options.Report(true));
        row.prepare(product);
        const auto before = Snapshot(product);
        ReportRun run = RunReport(product);
        EXPECT_EQ(run.textExit, row.exitCode);
        EXPECT_EQ(run.processes, 2u);  // the two runs of the report, and nothing they started
        row.wouldWrite(run.json);
        const auto after = Snapshot(product);
        for (const auto& [what, bytes] : before) EXPECT_TRUE(after.at(what) == bytes) << Difference(what, bytes, after.at(what));
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (product.Extension() + L"file").c_str());
    }
}

// After a start, --trace names each milestone of that start in words, in the
// order the start wrote them, and --json gives the same records.
TEST_F(LaunchReport, TraceNamesTheMilestonesOfAStart) {
    const TestProduct product(ProductOptions().TraceMethod(4).Report(true));
    DWORD exitCode = 99;
    product.Run(L"", exitCode);
    const std::string text = product.RunProgramFile(L"LaunchReport.exe", L"--trace", exitCode);
    EXPECT_EQ(exitCode, 0u) << text;
    size_t at = 0;
    for (const char* words : {"the product folder is confirmed", "settings read",
                              "registration checked; after the tag: 1 intact, 0 damaged", "registration rewritten",
                              "uninstall guard consulted", "starting the tray program"}) {
        at = text.find(words, at);
        ASSERT_NE(at, std::string::npos) << words << " in\n" << text;
    }
    const Json json = Json::parse(product.RunProgramFile(L"LaunchReport.exe", L"--trace 3 --json", exitCode), nullptr, false);
    ASSERT_EQ(json["records"].size(), 3u) << json;
    EXPECT_EQ(json["records"][2]["tag"], "{3016B153-C6F9-4BF0-B03D-3D61224ADDC9}");
    EXPECT_EQ(json["records"][2]["rest"], "medium 1");
    EXPECT_FALSE(json["records"][2]["meaning"].is_null());
}

