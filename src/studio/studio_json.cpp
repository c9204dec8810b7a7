#include "studio/studio_json.h"

#include <cstdio>

namespace animstudio {
namespace {

constexpr int kDeepest = 8;

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool value(JsonValue& out, int depth) {
        skipSpace();
        if (depth > kDeepest || at_ >= text_.size()) {
            return false;
        }
        const char c = text_[at_];
        if (c == '{') {
            return object(out, depth);
        }
        if (c == '[') {
            return array(out, depth);
        }
        if (c == '"') {
            out.kind = JsonValue::Kind::string;
            return string(out.text);
        }
        if (word("true") || word("false")) {
            out.kind = JsonValue::Kind::boolean;
            out.boolean = c == 't';
            return true;
        }
        if (word("null")) {
            out.kind = JsonValue::Kind::null;
            return true;
        }
        return number(out);
    }

    bool atEnd() {
        skipSpace();
        return at_ == text_.size();
    }

  private:
    void skipSpace() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool take(char c) {
        skipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool word(const char* literal) {
        const std::string expected(literal);
        if (text_.compare(at_, expected.size(), expected) == 0) {
            at_ += expected.size();
            return true;
        }
        return false;
    }

    bool number(JsonValue& out) {
        const std::size_t from = at_;
        while (at_ < text_.size() &&
               std::string_view("+-.0123456789eE").find(text_[at_]) != std::string::npos) {
            ++at_;
        }
        out.kind = JsonValue::Kind::number;
        out.text = text_.substr(from, at_ - from);
        return at_ > from;
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    bool hex4(unsigned& code) {
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = at_ < text_.size() ? hexValue(text_[at_++]) : -1;
            if (digit < 0) {
                return false;
            }
            code = code * 16 + static_cast<unsigned>(digit);
        }
        return true;
    }

    static void appendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool string(std::string& out) {
        ++at_;  // the opening quote
        out.clear();
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const char escaped = text_[at_++];
            const std::string_view plain("\"\\/bfnrt");
            const std::string_view meant("\"\\/\b\f\n\r\t");
            if (const std::size_t which = plain.find(escaped); which != std::string::npos) {
                out += meant[which];
                continue;
            }
            unsigned code = 0;
            if (escaped != 'u' || !hex4(code)) {
                return false;
            }
            if (code >= 0xD800 && code < 0xDC00) {  // a surrogate pair
                unsigned low = 0;
                if (!word("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                    return false;
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(out, code);
        }
        return false;
    }

    bool array(JsonValue& out, int depth) {
        ++at_;
        out.kind = JsonValue::Kind::array;
        if (take(']')) {
            return true;
        }
        do {
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1)) {
                return false;
            }
        } while (take(','));
        return take(']');
    }

    bool object(JsonValue& out, int depth) {
        ++at_;
        out.kind = JsonValue::Kind::object;
        if (take('}')) {
            return true;
        }
        do {
            skipSpace();
            std::string name;
            if (at_ >= text_.size() || text_[at_] != '"' || !string(name) || !take(':') ||
                !value(out.members[name], depth + 1)) {
                return false;
            }
        } while (take(','));
        return take('}');
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
    static const JsonValue kNothing;
    const auto found = members.find(name);
    return found == members.end() ? kNothing : found->second;
}

bool parseJson(const std::string& text, JsonValue& value) {
    Reader reader(text);
    value = JsonValue{};
    return reader.value(value, 0) && reader.atEnd();
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonError(const std::string& reason) {
    return "{\"error\": " + jsonString(reason) + "}";
}

}  // namespace animstudio
