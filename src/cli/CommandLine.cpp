#include "cli/CommandLine.h"

#include <cctype>
#include <charconv>
#include <iostream>
#include <sstream>

namespace fim::cli {

namespace {

// CLI11's failure message, in the program's words and on one line.
std::string OneLine(const CLI::App* app, const CLI::Error& e) {
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        const std::vector<std::string> extra = app->remaining();
        if (extra.empty()) return "unexpected arguments";
        const std::string& first = extra.front();
        return (first.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + first;
    }
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr &&
        what.find("missing") != std::string::npos) {
        return "option " + what.substr(0, what.find(':')) + " needs a value";
    }
    std::string line = what;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

}  // namespace

CommandLine::CommandLine(const std::string& command, const std::string& summary)
    : app_(summary, "fimtool " + command) {
    app_.set_help_flag("--help", "Print this help and exit");
    app_.failure_message(OneLine);
}

CommandLine& CommandLine::Option(const std::string& name, const std::string& value,
                                 const std::string& help) {
    // Every occurrence is kept, so that Parse can name a repeated option itself.
    CLI::Option* o = app_.add_option(name, help)
                         ->type_name(value)
                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    options_[name] = o;
    once_[name] = true;
    return *this;
}

CommandLine& CommandLine::Repeated(const std::string& name, const std::string& value,
                                   const std::string& help) {
    options_[name] = app_.add_option(name, help)
                         ->type_name(value)
                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    once_[name] = false;
    return *this;
}

CommandLine& CommandLine::Switch(const std::string& name, const std::string& help) {
    options_[name] = app_.add_flag(name, help);
    once_[name] = true;
    return *this;
}

CommandLine& CommandLine::Positional(const std::string& name, const std::string& help) {
    options_[name] = app_.add_option(name, help);
    once_[name] = true;
    return *this;
}

bool CommandLine::Parse(const Args& args) {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11's order
    try {
        app_.parse(reversed);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        app_.exit(e, out, err);
        if (dynamic_cast<const CLI::CallForHelp*>(&e) != nullptr) {
            std::cout << out.str() << std::flush;
            helpShown_ = true;
            return false;
        }
        error_ = err.str();
        while (!error_.empty() && (error_.back() == '\n' || error_.back() == ' ')) {
            error_.pop_back();
        }
        return false;
    }
    for (const auto& [name, once] : once_) {
        if (once && options_[name]->count() > 1) {
            error_ = "option " + name + " given twice";
            return false;
        }
    }
    return true;
}

bool CommandLine::Has(const std::string& name) const {
    const auto it = options_.find(name);
    return it != options_.end() && it->second->count() > 0;
}

std::string CommandLine::Text(const std::string& name, const std::string& fallback) const {
    const auto it = options_.find(name);
    if (it == options_.end() || it->second->count() == 0) return fallback;
    return it->second->results().front();
}

std::vector<std::string> CommandLine::All(const std::string& name) const {
    const auto it = options_.find(name);
    if (it == options_.end()) return {};
    return it->second->results();
}

int CommandLine::Int(const std::string& name, int fallback, int lo, int hi) {
    if (!Has(name)) return fallback;
    const std::string s = Text(name);
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
