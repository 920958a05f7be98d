#pragma once
// The user-visible texts: the string module (the path variable STRING_MODULE)
// publishes the skin chosen by the system's language in a named block, the
// skin buffer; the table maps it and deciphers a text when it is looked up.
#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <string>

#include "environment/memory_buffer.h"
#include "platform/sync_object.h"
#include "strings/skin_buffer_reader.h"

namespace tqn {

class SkinStringTable {
public:
    SkinStringTable() = default;
    ~SkinStringTable() = default;
    SkinStringTable(const SkinStringTable&) = delete;
    SkinStringTable& operator=(const SkinStringTable&) = delete;

    // The text of an identifier. False when it is not found, and then text
    // is the identifier itself.
    bool GetString(const std::wstring& id, std::wstring& text);

    // Loads the string module, has it publish the chosen skin and maps the
    // buffer; true once the table is initialised (it never is again after).
    bool Initialize();

    // The lookup in the mapped buffer; text is cleared first.
    bool FindString(uint32_t key, std::wstring& text) const;

    bool Initialized() const { return initialized_; }
    uint32_t EntryCount() const { return layout_.entryCount; }

private:
    SyncObjectEx lock_;
    MemoryBufferExW view_;
    SkinLayout layout_;
    bool initialized_ = false;
};

// The skin file for the system's default language (see ChooseSkinPath).
void ChooseSkinFile(std::wstring& path);

}  // namespace tqn
#endif
