#pragma once
// The trace log connected to the product: the method is the script setting
// EXCEPTION_REPORT_METHOD of section "Environment", the file is the path
// tool's COMMON_APPDATA\LOG_FOLDER with TRACE_FILE_NAME, shared with the
// product's other processes through the global block's trace-path slot.
#include <string>

#include "diag/log_folder.h"

namespace tqn {

// Which trace file to write, given the slot's path (decrypted, may be empty),
// the path tool's (may be empty) and whether the two name the same file. The
// slot is written by any process, and the launcher may run elevated: a path
// from it is used only when it is the path tool's own file. No path from the
// path tool, no trace file.
struct TracePathChoice {
    std::wstring path;
    bool writeSlot = false;  // the slot did not already name this file
};
TracePathChoice ChooseTracePath(const std::wstring& slotPath, const std::wstring& toolPath, bool sameFile);

#ifdef _WIN32
// Installs the two sources into the trace log (SetTraceSources).
void ConnectTraceToProduct();

uint32_t ReadConfiguredTraceMethod();
std::wstring ResolveTraceFilePath();

// ResolveTraceFilePath's choice without its writes: the slot is read, not
// written, and the log folder is not made.
TracePathChoice InspectTraceFilePath();
#endif

}  // namespace tqn
