// add_root_cert [ca.der]: adds a DER certificate to the LocalMachine ROOT
// store. Without an argument it takes the build tree's test CA, found beside
// the program's folder (<build>/bin/.. /testca/ca.der). Exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <string>

#include "trust/root_store.h"

int wmain(int argc, wchar_t** argv) {
    const std::wstring path = argc > 1 ? std::wstring(argv[1]) : tqn::DefaultTestCaPath();
    if (path.empty() || !tqn::AddCertificateFileToMachineRoot(path)) {
        std::fwprintf(stderr, L"could not add %ls to the ROOT store (error %lu)\n", path.c_str(),
                      ::GetLastError());
        return 1;
    }
    std::fwprintf(stdout, L"added %ls to the LocalMachine ROOT store\n", path.c_str());
    return 0;
}
