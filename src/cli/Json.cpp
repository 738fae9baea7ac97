#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace fim::cli {

namespace {

// One line with ", " and ": " between members, as fimtool has always written it. A double is the
// shortest text that reads back as the same value; strings, integers, booleans and null are
// nlohmann-json's own (bytes that are not UTF-8 become U+FFFD instead of stopping the output).
std::string Write(const nlohmann::ordered_json& j) {
    using Type = nlohmann::ordered_json::value_t;
    std::string out;
    switch (j.type()) {
        case Type::object: {
            out = "{";
            bool first = true;
            for (const auto& [key, value] : j.items()) {
                if (!first) out += ", ";
                first = false;
                out += Write(nlohmann::ordered_json(key)) + ": " + Write(value);
            }
            return out + "}";
        }
        case Type::array: {
            out = "[";
            for (std::size_t i = 0; i < j.size(); ++i) out += (i ? ", " : "") + Write(j[i]);
            return out + "]";
        }
        case Type::number_float: {
            const double v = j.get<double>();
            if (!std::isfinite(v)) return "null";
            char buf[64];
            const auto r = std::to_chars(buf, buf + sizeof buf, v);
            return std::string(buf, r.ptr);
        }
        default:
            return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
}

}  // namespace

void JsonObject::Add(const std::string& key, const std::vector<JsonObject>& values) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const JsonObject& v : values) list.push_back(v.doc_);
    doc_[key] = std::move(list);
}

std::string JsonObject::Text() const { return Write(doc_); }

void JsonObject::Print() const { std::printf("%s\n", Text().c_str()); }

}  // namespace fim::cli
