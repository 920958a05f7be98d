#pragma once
// The launcher's settings from the product's script engine "script.dll",
// which is loaded only after the trusted-loading tests. A module exporting
// Initialize_All builds the process's script data block once (shared-block
// mode); otherwise the connector runs the section itself and keeps the set
// values in its own map (direct mode).
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace tqn {

class ScriptConnector {
public:
    static constexpr int32_t kSharedBlockMode = 0;
    static constexpr int32_t kDirectMode = 1;

    // Prepares the values of section. folder holds "script.dll" and
    // "script.scd"; empty means the product folder, else the program folder.
    // 1 when the block is available; in direct mode the module's initialise
    // result; 0 on failure.
    int32_t Load(const std::wstring& section, const std::wstring& folder);

    // The setting's text. Direct mode: found, also when empty. Shared-block
    // mode: found and not empty. value is untouched when false.
    bool GetString(const std::wstring& name, std::wstring& value) const;
    // The same setting read as a decimal number.
    bool GetNumber(const std::wstring& name, uint32_t& number) const;

    // The direct-mode run of section through module's script exports.
    int32_t RunScriptDirect(HMODULE module, const std::wstring& section, const std::wstring& folder);

    int32_t Mode() const { return mode_; }

private:
    int32_t LoadSharedBlock(HMODULE module, const std::wstring& folder);
    // The text as the mode's rules give it; direct mode answers "found but
    // empty" with true.
    bool Lookup(const std::wstring& name, std::wstring& value) const;

    int32_t mode_ = kDirectMode;
    std::map<std::wstring, std::wstring> values_;  // lower-cased names
    std::wstring section_;
};

}  // namespace tqn
#endif
