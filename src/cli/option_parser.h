// OptionParser: reads a command line against a table of the options it
// takes. main() reads the common options (-w DIR, --help, --version) with
// one, and every command its own with another: a command declares its
// options and words in a Syntax, and gets back the values and the words,
// or the text that says what is wrong.
//
// What it accepts:
//  - A word is an argument that is not empty and does not start with '-'
//    (a folder, a title, for main the command's name); every other argument
//    is an option. "--" and "-" are options like any other: none marks the
//    end of the options, and no table declares them.
//  - A flag: --name or -c.
//  - A value option: --name VALUE, --name=VALUE, -c VALUE or -cVALUE. The
//    argument after the option is its value whatever it looks like.
//    A number is decimal digits within the option's range; a text is any
//    non-empty string.
//  - Options and words in any order; an option given twice keeps the last
//    value.
//  - A flag that stops (--help, --version) ends the reading: the arguments
//    after it are not looked at.
//
// What it reports, for the first fault in argument order: an option no
// entry declares (Syntax::unknown_option, unless keep_unknown keeps it as a
// word), a word over Syntax::max_words (extra_word), a value option without
// its value or with an empty text ("SPELLING needs NEEDS", SPELLING as
// typed), a number that is not one or out of range (the entry's invalid),
// and, after the last argument, fewer than min_words words (missing_word).
// The text is "PROGRAM: MESSAGE\n" and then the usage; a null message gives
// the usage alone. The caller prints it on standard error and exits with
// kUsageError (2, cli/command.h).
//
// Thread safety: a value over constant tables; any thread.
#pragma once

#include <cstddef>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

enum class OptionKind { kFlag, kNumber, kText };

// One option. Messages hold "{}" where the value goes.
struct OptionRule {
  const char* name;     // the long name, without "--"
  char short_name = 0;  // 0: none
  OptionKind kind = OptionKind::kFlag;
  // What it does, for an options listing; lines separated by "\n".
  const char* help = "";
  const char* value_name = "";  // the value in a listing: "DIR" in "-w DIR"
  // A value option: what a missing value is, as in "-j needs a number".
  const char* needs = "";
  // A number: the range, both ends included, within 0..LONG_MAX, and what
  // is said of a value that is not a number in it.
  long min = 0;
  long max = 0;
  const char* invalid = "";
  bool stops = false;  // a flag that ends the reading
};

// The options and words of a command line, as read by an OptionParser.
class ParsedArgs {
 public:
  // Whether the option of that long name was given.
  bool Has(std::string_view name) const { return values_.find(name) != values_.end(); }
  // A number option's value, or fallback when it was not given.
  long Number(std::string_view name, long fallback) const;
  // A text option's value, or "" when it was not given.
  std::string Text(std::string_view name) const;
  // The words in their order (with keep_unknown, the unknown options too).
  const std::vector<std::string>& words() const { return words_; }

 private:
  friend class OptionParser;
  struct Value {
    std::string text;
    long number = 0;
  };
  std::map<std::string, Value, std::less<>> values_;
  std::vector<std::string> words_;
};

class OptionParser {
 public:
  static constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();
  // Where an options listing starts the help text.
  static constexpr int kListingColumn = 28;

  // The options a command line takes, how many words, and what is said
  // about a fault; "{}" in a message is the argument, a null message gives
  // the usage alone.
  struct Syntax {
    std::span<const OptionRule> options;
    std::size_t min_words = 0;
    std::size_t max_words = 0;
    // An unknown option is kept among the words, where it stands, instead
    // of being a fault: for main (the command reads it) and for commands
    // whose words may start with '-' (a title).
    bool keep_unknown = false;
    const char* unknown_option = "unexpected argument '{}'";
    const char* extra_word = "unexpected argument '{}'";
    const char* missing_word = nullptr;
    bool usage_after_message = true;
  };

  // program: what starts a message ("tarn build"). usage: the usage text,
  // ending in a line break, or "".
  OptionParser(std::string program, const Syntax& syntax, std::string usage);

  // Reads args into *result. Returns false, with the text to print on
  // standard error in *error, when the command line is malformed; *result
  // is then incomplete.
  bool Parse(const std::vector<std::string>& args, ParsedArgs* result, std::string* error) const;

  // The options, one entry a line: "  -w, --workspace DIR" padded to
  // kListingColumn, a space, the help, its further lines indented as far.
  std::string Listing() const;

  // Whether arg is a word rather than an option.
  static bool IsWord(std::string_view arg) { return !arg.empty() && arg.front() != '-'; }

 private:
  struct Match;
  // The entry arg names, or nullptr.
  const OptionRule* Find(std::string_view arg, Match* match) const;
  // Checks a value option's value into *value; false with the fault.
  bool Convert(const OptionRule& rule, const Match& match, ParsedArgs::Value* value,
               std::string* error) const;
  // The text for a fault: message filled with argument, or the usage alone.
  std::string Fault(const char* message, std::string_view argument) const;
  std::string Report(const std::string& line) const;

  std::string program_;
  Syntax syntax_;
  std::string usage_;
};

}  // namespace tarn
