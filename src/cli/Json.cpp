#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace fim::cli {

std::string JsonObject::Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;  // UTF-8 passes through
                }
        }
    }
    return out + "\"";
}

void JsonObject::Add(const std::string& key, const std::string& value) {
    members_.emplace_back(key, Quote(value));
}

void JsonObject::Add(const std::string& key, int value) {
    members_.emplace_back(key, std::to_string(value));
}

void JsonObject::Add(const std::string& key, double value) {
    if (!std::isfinite(value)) {
        members_.emplace_back(key, "null");
        return;
    }
    // The shortest text that reads back as the same double.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    members_.emplace_back(key, std::string(buf, r.ptr));
}

void JsonObject::AddNull(const std::string& key) { members_.emplace_back(key, "null"); }

void JsonObject::AddBool(const std::string& key, bool value) {
    members_.emplace_back(key, value ? "true" : "false");
}

void JsonObject::Add(const std::string& key, const JsonObject& value) {
    members_.emplace_back(key, value.Text());
}

void JsonObject::Add(const std::string& key, const std::vector<JsonObject>& values) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + values[i].Text();
    members_.emplace_back(key, text + "]");
}

void JsonObject::Print() const { std::printf("%s\n", Text().c_str()); }

void JsonObject::Add(const std::string& key, const std::vector<std::string>& values) {
    std::string list = "[";
    for (std::size_t i = 0; i < values.size(); ++i) list += (i ? ", " : "") + Quote(values[i]);
    members_.emplace_back(key, list + "]");
}

std::string JsonObject::Text() const {
    std::string out = "{";
    for (std::size_t i = 0; i < members_.size(); ++i) {
        out += (i ? ", " : "") + Quote(members_[i].first) + ": " + members_[i].second;
    }
    return out + "}";
}

}  // namespace fim::cli
