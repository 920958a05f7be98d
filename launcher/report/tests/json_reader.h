#pragma once
// A small JSON reader for the report's tests: the whole text into a tree of
// values, or nothing when it is not one well-formed value. Strings come back
// as UTF-8 with their escapes resolved (\u escapes of the BMP only).
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tqn::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // Path access for tests: a member by name, an item by index. A missing
    // one is a Null value (so chains never throw).
    const JsonValue& operator[](const std::string& name) const;
    const JsonValue& operator[](size_t index) const;
    bool Has(const std::string& name) const { return members.count(name) != 0; }
    bool IsNull() const { return kind == Kind::Null; }
};

std::optional<JsonValue> ParseJson(const std::string& text);

}  // namespace tqn::test
