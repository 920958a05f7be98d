#pragma once
// Every trace tag the program writes, with what it means and what follows it
// in the record. The trace names events by braced GUIDs only; this table is
// the one place that says what they mean. Code writes a tag only through its
// row (TraceEvent in diag/trace.h), LaunchReport --trace reads the meanings
// from here, and a test fails on a tag written without a row and on a row no
// code writes.
//
// To add a tag: add one row. ROW(name, tag, values, meaning, what follows):
// `values` is the printf format after the tag (the Windows runtime's wide
// rules: %s is a wide string); "what follows" says what those values are.
#include <cstddef>
#include <string_view>

// clang-format off
#define TQN_TRACE_TAGS(ROW) \
    /* Start-up milestones, in the order a start writes them (launcher/startup.cpp, process_launch.cpp); */ \
    /* scripts/bench.sh times the stretches between them. */ \
    ROW(RootConfirmed, L"{35D4E22D-B8B6-450B-8013-896B07D3D16B}", L"", \
        L"start-up: the product folder is confirmed (Launch.exe runs from the installation folder)", L"") \
    ROW(SettingsRead, L"{427D3012-FC53-492F-95AE-60BC13C0091C}", L" [%s]", \
        L"start-up: settings read from the script section CommonData", \
        L"[the file to start: TRAY_FILE, or UNINSTALL_FILE with /uninstall; empty when not set]") \
    ROW(AssociationChecked, L"{5DEB6B52-04D4-431B-940B-EB8FF5D08038}", L" %d", \
        L"start-up: the guarded extension's registration checked", \
        L"1 intact, 0 damaged (without administrator rights Launch.exe then asks to run elevated)") \
    ROW(AssociationRepaired, L"{77D89E6C-6557-4AF3-974C-4C10D4355F30}", L"", \
        L"start-up: registration rewritten and the user's Explorer overrides removed", L"") \
    ROW(UninstallGuard, L"{2526CAEA-B202-4A61-9BBF-B74A4DE1BF41}", L" %d", \
        L"start-up: uninstall guard consulted", L"1 an uninstall is running (nothing is started), 0 none") \
    ROW(TrayLaunchPath, L"{3016B153-C6F9-4BF0-B03D-3D61224ADDC9}", L" %s %d", \
        L"start-up: starting the tray program (written before the start is tried)", \
        L"the launch path (session, plain or medium), then drop elevation (1 yes, 0 no)") \
    ROW(SettingFileRefused, L"{D61F0B2A-9C47-4E85-B3A8-5E27C90F14D6}", L" [%s]", \
        L"a file setting names something outside the program folder: nothing is started", \
        L"[the setting: TRAY_FILE or UNINSTALL_FILE]") \
    /* The product folder (environment/path_tool.cpp). */ \
    ROW(StoredFolderIgnored, L"{A3E5C1D7-2B94-4F6E-8D0A-71C9E4B25F38}", L"", \
        L"the global shared block names a folder that is neither the program folder nor RootDir's: " \
        L"ignored, the program folder is used (written once a process)", L"") \
    /* The registration guard's key widening (assoc/key_security.cpp). */ \
    ROW(UnlockLockUnavailable, L"{478D7F59-F721-45AD-A1AD-588038F18B14}", L" %lu", \
        L"registry: the lock that keeps launchers from widening keys at once could not be had: " \
        L"nothing is widened and the operation on the refusing key fails", \
        L"the error, or the wait's result (258: another launcher held it past the wait)") \
    ROW(UnlockLockSquatted, L"{08461544-17BF-432C-AACD-F4F26731463C}", L"", \
        L"registry: the lock's name is held by an object that is not an administrator's " \
        L"(no private namespace here): the widening goes on without it, for the launcher alone", L"") \
    /* Module trust (trust/certificate_tool.cpp, trusted_loader.cpp). */ \
    ROW(UnusualNoSignature, L"{28AC245E-7AFA-4DBB-A551-38E3F70CBA4A}", L" [0x%x][%s]", \
        L"trust test: no signature, with an unusual last error, which became the result", \
        L"[the result (an HRESULT)][the module's path]") \
    ROW(SignerInfoSizeFailed, L"{3CADA513-E7C8-43CC-8831-0E6EB41B36C4}", L" %x", \
        L"signer name: the size of the signer information could not be read (not loaded)", L"the error (hex)") \
    ROW(SignerInfoNoMemory, L"{E84A9072-3C12-43CF-A85C-B360948E3026}", L"", \
        L"signer name: no memory for the signer information (not loaded)", L"") \
    ROW(SignerInfoReadFailed, L"{22BE245B-EB8E-435E-BCF0-64E99A58A74A}", L" %x", \
        L"signer name: the signer information could not be read (not loaded)", L"the error (hex)") \
    ROW(SignerCertificateMissing, L"{21E0218A-2B22-45D8-83C2-E82A55BDC051}", L" %x\n", \
        L"signer name: the signer's certificate is not in the signature (not loaded)", L"the error (hex)") \
    ROW(SignerNameLengthFailed, L"{9B8B8973-36CA-48BB-BBD7-E5B07220FDD0}", L"", \
        L"signer name: its length could not be read (not loaded; the error follows in the next record)", L"") \
    ROW(SignerNameNoMemory, L"{37E922D6-DE16-406B-9D23-E7FFBF573375}", L"", \
        L"signer name: no memory for it (not loaded; the error follows in the next record)", L"") \
    ROW(SignerNameReadFailed, L"{B0C9A2AD-4088-429F-8A52-A272D0867F2F}", L"", \
        L"signer name: it could not be read (not loaded; the error follows in the next record)", L"") \
    ROW(SignerNameError, L"{25E193A5-C033-4908-B25F-D08E8E04EA17}", L" %x\n", \
        L"signer name: the error of the step named in the record before", L"the error (hex)") \
    ROW(NotTheTestedFile, L"{6C0B7F43-5D2E-4B8A-9E51-0F3A7C2D94B6}", L" [%s]", \
        L"module refused: the image loaded for its path is not the file whose signature was tested", \
        L"[the module's path]")
// clang-format on

namespace tqn {

enum class TraceTag : size_t {
#define TQN_TRACE_TAG_NAME(name, tag, values, meaning, follows) name,
    TQN_TRACE_TAGS(TQN_TRACE_TAG_NAME)
#undef TQN_TRACE_TAG_NAME
};

struct TraceTagRow {
    const char* name;        // "RootConfirmed", as code names it (TraceTag::RootConfirmed)
    const wchar_t* tag;      // "{35D4E22D-...}"
    const wchar_t* format;   // the tag and its values, as handed to the trace log
    const wchar_t* meaning;
    const wchar_t* follows;  // empty when nothing follows the tag
};

inline constexpr TraceTagRow kTraceTagRows[] = {
#define TQN_TRACE_TAG_ROW(name, tag, values, meaning, follows) {#name, tag, tag values, meaning, follows},
    TQN_TRACE_TAGS(TQN_TRACE_TAG_ROW)
#undef TQN_TRACE_TAG_ROW
};

constexpr const TraceTagRow& TraceTagRowOf(TraceTag tag) { return kTraceTagRows[static_cast<size_t>(tag)]; }

// The row of a tag text ("{35D4E22D-...}"), or null for a tag no row names.
constexpr const TraceTagRow* FindTraceTag(std::wstring_view tag) {
    for (const TraceTagRow& row : kTraceTagRows) {
        if (tag == row.tag) return &row;
    }
    return nullptr;
}

}  // namespace tqn
