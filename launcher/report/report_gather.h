#pragma once
// Walks Launch.exe's start-up road with the launcher's own code and records
// what each step finds, writing nothing: the registry tool is in read-only
// mode throughout, the product root and the trace path are inspected without
// their writes, modules load only through the trusted loader, and nothing is
// started or elevated.
#ifdef _WIN32
#include <string>

#include "assoc/registry_tool.h"
#include "launcher/report/report_facts.h"

namespace tqn::report {

ReportFacts GatherReportFacts();

// The trace file's last `count` records: the file found as Launch.exe would
// find it, read only when it is no link.
TraceRecordsFacts GatherTraceRecords(size_t count);

// The association check for an extension as the launcher makes it, with the
// value behind each condition and the user's Explorer overrides. Call it
// inside the read-only scope it is given.
AssociationFacts GatherAssociation(const std::wstring& extension, const ScopedRegistryReadOnly& readOnly);

}  // namespace tqn::report
#endif
