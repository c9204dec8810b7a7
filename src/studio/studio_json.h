// The little JSON the page sends (settings, lists of file ids) read into values, and text for the replies.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace animstudio {

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    bool boolean = false;
    std::string text;  // a string's characters, or a number as written
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member `name`, or a null value when there is none (or this is no object).
    const JsonValue& operator[](const std::string& name) const;
    bool isNull() const { return kind == Kind::null; }
};

// False for text that is not one whole JSON value, or nests deeper than a request needs.
bool parseJson(const std::string& text, JsonValue& value);

// `text` as a JSON string, quotes included.
std::string jsonString(const std::string& text);

// {"error": "reason"}
std::string jsonError(const std::string& reason);

}  // namespace animstudio
