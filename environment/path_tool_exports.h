#pragma once
// The path-tool module's exports: their names in table order and the call
// shapes the launcher uses. Shared by the launcher's binding and by the kit's
// module, so both sides agree on one definition. Strings are wide and
// NUL-terminated, capacities count wide characters, results are non-zero on
// success.
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define TQN_PTL_CALL __stdcall
#else
#define TQN_PTL_CALL
#endif

namespace tqn::ptl {

inline constexpr const wchar_t* kModuleName = L"ptl.tqm";
inline constexpr const wchar_t* kDataFileName = L"ptl.dat";
inline constexpr size_t kExportCount = 15;
inline constexpr uint32_t kPathCapacity = 512;

// Export names, in the table's slot order (slot 1 is index 0).
inline constexpr const char* kExportNames[kExportCount] = {
    "Initialize",      "UnInitialize",     "GetPathVariable", "GetPathVariableList",
    "GetSIDList",      "FreeList",         "GetFolderPath",   "GetFolderPath2",
    "GetFilePath",     "GetFilePath2",     "GetFolderPathNew", "GetFolderPathNew2",
    "GetFilePathNew",  "GetFilePathNew2",  "GetFileName",
};

enum Slot : size_t {
    kInitialize = 0,
    kUnInitialize,
    kGetPathVariable,
    kGetPathVariableList,
    kGetSidList,
    kFreeList,
    kGetFolderPath,
    kGetFolderPath2,
    kGetFilePath,
    kGetFilePath2,
    kGetFolderPathNew,
    kGetFolderPathNew2,
    kGetFilePathNew,
    kGetFilePathNew2,
    kGetFileName,
};

// (data file name, folder, caller token, flags)
using InitializeFn = int32_t(TQN_PTL_CALL*)(const wchar_t*, const wchar_t*, const wchar_t*, uint32_t);
// ()
using UnInitializeFn = int32_t(TQN_PTL_CALL*)();
// (variable, out, capacity)
using GetPathVariableFn = int32_t(TQN_PTL_CALL*)(const wchar_t*, wchar_t*, uint32_t);
// (out list): a module-allocated list of NUL-terminated texts ending in an
// empty one, freed with FreeList.
using GetListFn = int32_t(TQN_PTL_CALL*)(wchar_t**);
using FreeListFn = int32_t(TQN_PTL_CALL*)(wchar_t*);
// (variable, out, capacity): GetFolderPath, GetFilePath2, GetFileName
using GetOnePathFn = int32_t(TQN_PTL_CALL*)(const wchar_t*, wchar_t*, uint32_t);
// (first variable, second variable, out, capacity): GetFolderPath2, GetFilePath
using GetTwoPathFn = int32_t(TQN_PTL_CALL*)(const wchar_t*, const wchar_t*, wchar_t*, uint32_t);
// (variable, out, capacity, flags): GetFolderPathNew, GetFilePathNew2
using GetOnePathFlagsFn = int32_t(TQN_PTL_CALL*)(const wchar_t*, wchar_t*, uint32_t, uint32_t);
// (first variable, second variable, out, capacity, flags): GetFolderPathNew2, GetFilePathNew
using GetTwoPathFlagsFn =
    int32_t(TQN_PTL_CALL*)(const wchar_t*, const wchar_t*, wchar_t*, uint32_t, uint32_t);

// The flag the launcher passes to the newer lookups.
inline constexpr uint32_t kLookupFlag = 1;

}  // namespace tqn::ptl
