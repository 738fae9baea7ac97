#pragma once
// Reading a command's options: "--name VALUE" options and "--name" switches, each at most once.
// Anything else is refused with a one-line reason.

#include <map>
#include <set>
#include <string>

#include "cli/Commands.h"

namespace fim::cli {

class ArgReader {
  public:
    // Splits `args`; Ok() is false (with Error()) for an unknown option, a repeated one or an
    // option without its value.
    ArgReader(const Args& args, const std::set<std::string>& valued,
              const std::set<std::string>& switches);

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    bool Has(const std::string& name) const { return values_.count(name) || switches_.count(name); }
    std::string Text(const std::string& name, const std::string& fallback = {}) const;
    // A whole number in lo … hi, or `fallback` when absent; a bad value sets Error() and
    // returns the fallback.
    int Int(const std::string& name, int fallback, int lo, int hi);

  private:
    std::map<std::string, std::string> values_;
    std::set<std::string> switches_;
    std::string error_;
};

// Lower-case extension of a path without the dot ("" when none).
std::string Extension(const std::string& path);

}  // namespace fim::cli
