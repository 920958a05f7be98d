// A second product process for the shared-block tests: opens a block (the
// global one, or one of the test's own) and reports or changes what is in it.
//
//   shared_block_peer open <block> <mutex>          "existed=0|1 zero=0|1"
//   shared_block_peer read <block> <mutex> <field>   the field's text
//   shared_block_peer write <block> <mutex> <field> <text>
//   shared_block_peer abandon <block> <mutex>        takes the mutex, exits holding it
//   shared_block_peer folder                         the global block's product folder
// <block> "global" means the global block and its mutex; <field> is
// "product" or "trace". Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "kit/testsupport/console_text.h"
#include "environment/global_data.h"

namespace {

bool FieldByName(const std::wstring& name, tqn::BlockField& field) {
    if (name == L"product") {
        field = tqn::kProductFolderField;
        return true;
    }
    if (name == L"trace") {
        field = tqn::kTracePathField;
        return true;
    }
    return false;
}

// The global block, or a block of the test's own under the given names.
tqn::SharedBlock& BlockNamed(const std::wstring& block, const std::wstring& mutex,
                             std::unique_ptr<tqn::SharedBlock>& own) {
    if (block == L"global") return tqn::GlobalSharedBlock();
    own = std::make_unique<tqn::SharedBlock>(block, mutex, tqn::kGlobalBlockSize);
    return *own;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    if (command == L"folder") {
        tqn::test::PrintLine(tqn::GlobalData().ReadProductFolder());
        return 0;
    }
    if (argc < 4) return 2;
    const std::wstring blockName = argv[2];
    std::unique_ptr<tqn::SharedBlock> own;

    if (command == L"open") {
        bool existed = false;
        if (blockName != L"global") {
            tqn::ScopedHandle probe(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, blockName.c_str()));
            existed = probe.Valid();
        }
        tqn::SharedBlock& block = BlockNamed(blockName, argv[3], own);
        if (FAILED(block.Open())) return 1;
        const auto bytes = block.Bytes();
        const bool zero = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
        tqn::test::PrintLine(std::wstring(L"existed=") + (existed ? L"1" : L"0") + L" zero=" + (zero ? L"1" : L"0"));
        return 0;
    }
    if (command == L"abandon") {
        tqn::SharedBlock& block = BlockNamed(blockName, argv[3], own);
        if (FAILED(block.Open()) || block.Mutex() == nullptr) return 1;
        if (::WaitForSingleObject(block.Mutex(), tqn::kGlobalMutexWaitMs) != WAIT_OBJECT_0) return 1;
        ::ExitProcess(0);  // ends holding the mutex: the next waiter finds it abandoned
    }
    tqn::BlockField field{};
    if (argc < 5 || !FieldByName(argv[4], field)) return 2;
    tqn::SharedBlock& block = BlockNamed(blockName, argv[3], own);
    if (command == L"read") {
        std::wstring text;
        if (!tqn::ReadSharedField(block, field, text)) return 1;
        tqn::test::PrintLine(text);
        return 0;
    }
    if (command == L"write" && argc >= 6) return tqn::WriteSharedField(block, field, argv[5]) ? 0 : 1;
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }
