#include "cli/ArgReader.h"

#include <cctype>
#include <charconv>

namespace fim::cli {

ArgReader::ArgReader(const Args& args, const std::set<std::string>& valued,
                     const std::set<std::string>& switches) {
    for (std::size_t i = 0; i < args.size() && error_.empty(); ++i) {
        const std::string& a = args[i];
        if (Has(a)) {
            error_ = "option " + a + " given twice";
        } else if (switches.count(a)) {
            switches_.insert(a);
        } else if (valued.count(a)) {
            if (i + 1 >= args.size()) {
                error_ = "option " + a + " needs a value";
            } else {
                values_[a] = args[++i];
            }
        } else {
            error_ = "unknown option " + a;
        }
    }
}

std::string ArgReader::Text(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second;
}

int ArgReader::Int(const std::string& name, int fallback, int lo, int hi) {
    const auto it = values_.find(name);
    if (it == values_.end()) return fallback;
    const std::string& s = it->second;
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) {
        if (error_.empty()) {
            error_ = name + " must be a whole number from " + std::to_string(lo) + " to " +
                     std::to_string(hi) + ", not \"" + s + "\"";
        }
        return fallback;
    }
    return v;
}

std::string Extension(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace fim::cli
