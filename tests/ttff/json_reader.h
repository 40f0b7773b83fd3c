// Reads back the JSON lines the bench writes: one object of strings, numbers, null and nested
// objects, flattened to "outer.inner" keys, values as their text. Anything else is refused.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace pathlux::testing {

using JsonFields = std::map<std::string, std::string>;

class JsonReader {
  public:
    static std::optional<JsonFields> Read(const std::string& text) {
        JsonReader reader(text);
        JsonFields fields;
        if (!reader.Object("", fields) || reader.at_ != text.size()) {
            return std::nullopt;
        }
        return fields;
    }

  private:
    explicit JsonReader(const std::string& text) : text_(text) {}

    bool Take(char c) {
        const bool found = at_ < text_.size() && text_[at_] == c;
        at_ += found ? 1 : 0;
        return found;
    }
    // The bench writes no escapes and no spaces.
    bool String(std::string& out) {
        const std::size_t end = Take('"') ? text_.find_first_of("\"\\", at_) : std::string::npos;
        if (end == std::string::npos || text_[end] != '"') {
            return false;
        }
        out = text_.substr(at_, end - at_);
        at_ = end + 1;
        return true;
    }
    bool Literal(std::string& out) {
        const std::size_t end = text_.find_first_of(",}", at_);
        out = text_.substr(at_, end == std::string::npos ? 0 : end - at_);
        char* parsed = nullptr;
        std::strtod(out.c_str(), &parsed);
        at_ += out.size();
        return out == "null" || (!out.empty() && parsed == out.c_str() + out.size());
    }
    bool Object(const std::string& prefix, JsonFields& fields) {
        if (!Take('{')) {
            return false;
        }
        do {
            std::string key;
            std::string value;
            if (!String(key) || !Take(':')) {
                return false;
            }
            const bool nested = at_ < text_.size() && text_[at_] == '{';
            if (nested ? !Object(prefix + key + ".", fields)
                       : !(text_[at_] == '"' ? String(value) : Literal(value))) {
                return false;
            }
            if (!nested) {
                fields[prefix + key] = value;
            }
        } while (Take(','));
        return Take('}');
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace pathlux::testing
