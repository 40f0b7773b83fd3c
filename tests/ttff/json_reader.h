// Reads back the JSON lines the bench writes: objects of strings, numbers, booleans, null and
// nested objects, flattened to "outer.inner" keys. Anything else fails the test.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace pathlux::testing {

// Values as their text: strings without quotes, "null" for null.
using JsonFields = std::map<std::string, std::string>;

class JsonReader {
  public:
    // Nothing when the text is not one well-formed object.
    static std::optional<JsonFields> Read(const std::string& text) {
        JsonReader reader(text);
        JsonFields fields;
        if (!reader.Object("", fields)) {
            return std::nullopt;
        }
        reader.Space();
        return reader.at_ == text.size() ? std::optional(fields) : std::nullopt;
    }

  private:
    static bool IsLiteral(const std::string& value) {
        if (value == "null" || value == "true" || value == "false") {
            return true;
        }
        char* end = nullptr;
        std::strtod(value.c_str(), &end);
        return end == value.c_str() + value.size();
    }

    explicit JsonReader(const std::string& text) : text_(text) {}

    void Space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
            ++at_;
        }
    }
    bool Take(char c) {
        Space();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool String(std::string& out) {
        if (!Take('"')) {
            return false;
        }
        while (at_ < text_.size() && text_[at_] != '"') {
            if (text_[at_] == '\\') {
                return false;  // the bench writes no escapes
            }
            out.push_back(text_[at_++]);
        }
        return Take('"');
    }
    bool Object(const std::string& prefix, JsonFields& fields) {
        if (!Take('{')) {
            return false;
        }
        if (Take('}')) {
            return true;
        }
        do {
            std::string key;
            if (!String(key) || !Take(':')) {
                return false;
            }
            Space();
            const std::string name = prefix + key;
            if (at_ < text_.size() && text_[at_] == '{') {
                if (!Object(name + ".", fields)) {
                    return false;
                }
            } else if (at_ < text_.size() && text_[at_] == '"') {
                std::string value;
                if (!String(value)) {
                    return false;
                }
                fields[name] = value;
            } else {
                const std::size_t end = text_.find_first_of(",}", at_);
                if (end == std::string::npos || end == at_) {
                    return false;
                }
                const std::string value = text_.substr(at_, end - at_);
                if (!IsLiteral(value)) {
                    return false;
                }
                fields[name] = value;
                at_ = end;
            }
        } while (Take(','));
        return Take('}');
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace pathlux::testing
