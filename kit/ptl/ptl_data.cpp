#include "kit/ptl/ptl_data.h"

#include "crypt/utf8_codec.h"

#include <vector>

namespace ptl {
namespace {

struct Definition {
    std::wstring raw;
    size_t line = 0;
};

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool ValidName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class Resolver {
public:
    Resolver(const std::map<std::wstring, Definition>& definitions, const std::wstring& fileName,
             const std::wstring& productFolder, const EnvironmentLookup& environment)
        : definitions_(definitions), fileName_(fileName), productFolder_(productFolder),
          environment_(environment) {}

    bool Resolve(const std::wstring& name, std::wstring& value, std::wstring& error) {
        if (const auto done = resolved_.find(name); done != resolved_.end()) {
            value = done->second;
            return true;
        }
        const Definition& definition = definitions_.at(name);
        for (size_t k = 0; k < chain_.size(); ++k) {
            if (chain_[k] != name) continue;
            std::wstring path;
            for (size_t j = k; j < chain_.size(); ++j) path += chain_[j] + L" -> ";
            error = Where(definition.line) + name + L" refers back to itself (" + path + name + L")";
            return false;
        }
        if (chain_.size() > kDeepestReference) {
            error = Where(definition.line) + L"references nest more than " + std::to_wstring(kDeepestReference) +
                    L" deep (" + chain_.front() + L" -> ... -> " + name + L")";
            return false;
        }
        chain_.push_back(name);
        std::wstring expanded;
        const bool ok = Expand(definition, expanded, error);
        chain_.pop_back();
        if (!ok) return false;
        resolvedCharacters_ += expanded.size();
        resolved_[name] = expanded;
        value = expanded;
        return true;
    }

private:
    std::wstring Where(size_t line) const {
        return fileName_ + L" line " + std::to_wstring(line) + L": ";
    }

    bool Expand(const Definition& definition, std::wstring& out, std::wstring& error) {
        const std::wstring& raw = definition.raw;
        size_t i = 0;
        while (i < raw.size()) {
            if (raw[i] != L'%') {
                out.push_back(raw[i++]);
            } else {
                const size_t close = raw.find(L'%', i + 1);
                if (close == std::wstring::npos) {
                    error = Where(definition.line) + L"'%' without a closing '%' (write %% for a percent sign)";
                    return false;
                }
                const std::wstring reference = raw.substr(i + 1, close - i - 1);
                i = close + 1;
                std::wstring value;
                if (reference.empty()) {
                    value = L"%";
                } else if (!Reference(reference, definition.line, value, error)) {
                    return false;
                }
                out += value;
            }
            if (resolvedCharacters_ + out.size() > kLargestResolved) {
                error = Where(definition.line) + L"the values grow past " + std::to_wstring(kLargestResolved) +
                        L" characters";
                return false;
            }
        }
        return true;
    }

    bool Reference(const std::wstring& reference, size_t line, std::wstring& value, std::wstring& error) {
        static const std::wstring kEnvPrefix = L"ENV:";
        if (reference.compare(0, kEnvPrefix.size(), kEnvPrefix) == 0) {
            const std::wstring variable = reference.substr(kEnvPrefix.size());
            if (variable.empty() || !environment_ || !environment_(variable, value) || value.empty()) {
                error = Where(line) + L"environment variable " + variable + L" is not set";
                return false;
            }
            return true;
        }
        if (reference == kProductFolderVariable) {
            value = productFolder_;
            return true;
        }
        if (definitions_.count(reference) == 0) {
            error = Where(line) + L"unknown variable %" + reference + L"%";
            return false;
        }
        return Resolve(reference, value, error);
    }

    const std::map<std::wstring, Definition>& definitions_;
    const std::wstring& fileName_;
    const std::wstring& productFolder_;
    const EnvironmentLookup& environment_;
    std::map<std::wstring, std::wstring> resolved_;
    size_t resolvedCharacters_ = 0;
    std::vector<std::wstring> chain_;
};

}  // namespace

bool PathTable::Load(std::string_view bytes, const std::wstring& fileName, const std::wstring& productFolder,
                     const EnvironmentLookup& environment, std::wstring& error) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);

    std::map<std::wstring, Definition> definitions;
    size_t lineNumber = 0;
    while (!bytes.empty() || lineNumber == 0) {
        ++lineNumber;
        const size_t end = bytes.find('\n');
        const std::string_view line = Trim(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        const std::wstring where = fileName + L" line " + std::to_wstring(lineNumber) + L": ";

        if (line.empty() || line.front() == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            error = where + L"expected NAME = value";
            return false;
        }
        const std::string_view name = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (!ValidName(name)) {
            std::wstring shown;
            if (!tqn::DecodeUtf8Strict(name, shown)) shown = L"?";
            error = where + L"a name is upper-case letters, digits and '_' (got '" + shown + L"')";
            return false;
        }
        const std::wstring wideName = Widen(name);
        if (wideName == kProductFolderVariable) {
            error = where + wideName + L" is built in and cannot be set";
            return false;
        }
        if (const auto earlier = definitions.find(wideName); earlier != definitions.end()) {
            error = where + wideName + L" is already set on line " + std::to_wstring(earlier->second.line);
            return false;
        }
        if (value.empty()) {
            error = where + L"no value for " + wideName;
            return false;
        }
        Definition definition;
        definition.line = lineNumber;
        if (!tqn::DecodeUtf8Strict(value, definition.raw)) {
            error = where + L"the value is not valid UTF-8";
            return false;
        }
        definitions.emplace(wideName, std::move(definition));
    }

    Resolver resolver(definitions, fileName, productFolder, environment);
    std::map<std::wstring, std::wstring> values;
    for (const auto& [name, definition] : definitions) {
        std::wstring value;
        if (!resolver.Resolve(name, value, error)) return false;
        values.emplace(name, std::move(value));
    }
    values[kProductFolderVariable] = productFolder;
    values_ = std::move(values);
    return true;
}

bool PathTable::Find(const std::wstring& name, std::wstring& value) const {
    const auto found = values_.find(name);
    if (found == values_.end()) return false;
    value = found->second;
    return true;
}

bool IsAbsolutePath(const std::wstring& path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool unc = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
    return drive || unc;
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& leaf) {
    if (IsAbsolutePath(leaf) || base.empty()) return leaf;
    size_t baseEnd = base.size();
    while (baseEnd > 0 && (base[baseEnd - 1] == L'\\' || base[baseEnd - 1] == L'/')) --baseEnd;
    size_t leafStart = 0;
    while (leafStart < leaf.size() && (leaf[leafStart] == L'\\' || leaf[leafStart] == L'/')) ++leafStart;
    if (leafStart == leaf.size()) return base.substr(0, baseEnd);
    return base.substr(0, baseEnd) + L"\\" + leaf.substr(leafStart);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool CopyOut(const std::wstring& text, wchar_t* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return false;
    if (text.size() + 1 > capacity) {
        out[0] = L'\0';
        return false;
    }
    text.copy(out, text.size());
    out[text.size()] = L'\0';
    return true;
}

}  // namespace ptl
