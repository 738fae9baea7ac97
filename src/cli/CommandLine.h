#pragma once
// One command's options, read with CLI11: "--name VALUE" options, "--name" switches (absent means
// off) and positional arguments, each with the help text that `fimtool COMMAND --help` prints.
// A mistake (an unknown option, a repeated one, an option without its value, a number out of
// range) becomes one line in the program's words, through CLI11's failure message.

#include <CLI/CLI.hpp>
#include <map>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace fim::cli {

class CommandLine {
  public:
    // `command` names the command ("measure"); `summary` says what it does.
    CommandLine(const std::string& command, const std::string& summary);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // "--name VALUE", at most once; `value` names the value in the help ("N", "FILE").
    CommandLine& Option(const std::string& name, const std::string& value, const std::string& help);
    // "--name VALUE" that may come several times.
    CommandLine& Repeated(const std::string& name, const std::string& value,
                          const std::string& help);
    CommandLine& Switch(const std::string& name, const std::string& help);
    CommandLine& Positional(const std::string& name, const std::string& help);

    // Reads `args`. False when the command ends here: after --help (the help went to stdout)
    // or after a mistake (Error() says which).
    bool Parse(const Args& args);
    bool HelpShown() const { return helpShown_; }

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    bool Has(const std::string& name) const;
    std::string Text(const std::string& name, const std::string& fallback = {}) const;
    // Every value of a repeated option, in command-line order.
    std::vector<std::string> All(const std::string& name) const;
    // A whole number in lo … hi, or `fallback` when absent; a bad value sets Error() and
    // returns the fallback.
    int Int(const std::string& name, int fallback, int lo, int hi);

  private:
    CLI::App app_;
    std::map<std::string, CLI::Option*> options_;
    std::map<std::string, bool> once_;  // options and switches that may come only once
    bool helpShown_ = false;
    std::string error_;
};

// Lower-case extension of a path without the dot ("" when none).
std::string Extension(const std::string& path);

}  // namespace fim::cli
