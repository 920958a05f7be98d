#include "strings/skin_choice.h"

#include "strings/skin_buffer_reader.h"

namespace tqn {

std::wstring ChooseSkinPath(uint16_t languageId, const std::function<std::wstring(const wchar_t*)>& pathOf,
                            const std::function<bool(const std::wstring&)>& usable) {
    std::wstring path;
    if (languageId == kKoreanLanguage) path = pathOf(L"SKIN_FILE");
    if (languageId == kJapaneseLanguage) path = pathOf(L"SKIN_FILE_JP");
    path = SkinPathOf(path);
    if (!path.empty() && usable(path)) return path;
    path = SkinPathOf(pathOf(L"SKIN_FILE_EN"));
    if (!path.empty() && usable(path)) return path;
    return SkinPathOf(pathOf(L"SKIN_FILE"));
}

}  // namespace tqn
