#pragma once

#include <span>
#include <string_view>

#include "command_line.h"

namespace sorowa {

// One option as the user wrote it, handed to its row.
struct OptionUse {
  std::string_view shown;  // "--stats" or "-o", for messages
  std::string_view value;  // the value of a Kind::Value option, else empty
  bool on = true;          // false for the "no-" form of a Kind::Negatable switch
};

// A row of the table ParseCommandLine reads: one option of sorowa-compare. An option is added
// by adding its row here and its lines to the help; what it may not be combined with is
// checked once all options are read (command_line.cpp).
struct CommandLineOption {
  enum class Kind {
    Switch,     // --name, without a value
    Negatable,  // --name, and --no-name for the opposite
    Value,      // --name VALUE or --name=VALUE (with a letter also -x VALUE and -xVALUE)
  };
  std::string_view name;    // after "--"
  std::string_view letter;  // one letter, taken after "-" or "--"; empty for none
  Kind kind;
  // Records the option in the command line being built; throws UsageError for a bad value.
  void (*apply)(CommandLine& line, const OptionUse& use);
};

// Every option, in the order of the help.
std::span<const CommandLineOption> CommandLineOptions();

}  // namespace sorowa
