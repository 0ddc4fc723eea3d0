#include "cli/option_parser.h"

#include <glib.h>

#include <utility>

namespace tarn {

// How an argument named an option: as typed ("-j", "--jobs"), and the
// value written into the same argument ("-j4", "--jobs=4"), if any.
struct OptionParser::Match {
  std::string spelling;
  std::string value;
  bool attached = false;
};

namespace {

// text with its first "{}" replaced by value.
std::string Fill(std::string text, std::string_view value) {
  std::size_t at = text.find("{}");
  if (at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace

long ParsedArgs::Number(std::string_view name, long fallback) const {
  auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second.number;
}

std::string ParsedArgs::Text(std::string_view name) const {
  auto it = values_.find(name);
  return it == values_.end() ? "" : it->second.text;
}

OptionParser::OptionParser(std::string program, const Syntax& syntax, std::string usage)
    : program_(std::move(program)), syntax_(syntax), usage_(std::move(usage)) {}

bool OptionParser::Parse(const std::vector<std::string>& args, ParsedArgs* result,
                         std::string* error) const {
  *result = ParsedArgs();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    Match match;
    const OptionRule* rule = IsWord(arg) ? nullptr : Find(arg, &match);
    if (!rule) {
      if (!IsWord(arg) && !syntax_.keep_unknown) {
        *error = Fault(syntax_.unknown_option, arg);
        return false;
      }
      if (result->words_.size() >= syntax_.max_words) {
        *error = Fault(syntax_.extra_word, arg);
        return false;
      }
      result->words_.push_back(arg);
      continue;
    }
    ParsedArgs::Value& value = result->values_[rule->name];
    if (rule->kind == OptionKind::kFlag) {
      if (rule->stops) return true;
      continue;
    }
    if (!match.attached) {
      if (i + 1 == args.size()) {
        *error = Report(match.spelling + " needs " + rule->needs);
        return false;
      }
      match.value = args[++i];
    }
    if (!Convert(*rule, match, &value, error)) return false;
  }
  if (result->words_.size() < syntax_.min_words) {
    *error = Fault(syntax_.missing_word, "");
    return false;
  }
  return true;
}

const OptionRule* OptionParser::Find(std::string_view arg, Match* match) const {
  if (arg.size() < 2) return nullptr;
  bool is_long = arg.starts_with("--");
  std::string_view name;
  if (is_long) {
    name = arg.substr(2);
    std::size_t equals = name.find('=');
    match->attached = equals != std::string_view::npos;
    if (match->attached) {
      match->value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    match->spelling = arg.substr(0, 2 + name.size());
  } else {
    match->attached = arg.size() > 2;
    match->value = arg.substr(2);
    match->spelling = arg.substr(0, 2);
  }
  for (const OptionRule& rule : syntax_.options) {
    bool named = is_long ? name == rule.name : rule.short_name == arg[1];
    // A flag takes no value: "--drafts=1" and "-dx" name no option.
    if (named) return rule.kind == OptionKind::kFlag && match->attached ? nullptr : &rule;
  }
  return nullptr;
}

bool OptionParser::Convert(const OptionRule& rule, const Match& match, ParsedArgs::Value* value,
                           std::string* error) const {
  value->text = match.value;
  if (rule.kind == OptionKind::kText) {
    if (!match.value.empty()) return true;
    *error = Report(match.spelling + " needs " + rule.needs);
    return false;
  }
  // Digits only: no sign, no blank, no base prefix.
  guint64 number = 0;
  if (!match.value.empty() &&
      g_ascii_string_to_unsigned(match.value.c_str(), 10, static_cast<guint64>(rule.min),
                                 static_cast<guint64>(rule.max), &number, nullptr)) {
    value->number = static_cast<long>(number);
    return true;
  }
  *error = Fault(rule.invalid, match.value);
  return false;
}

std::string OptionParser::Fault(const char* message, std::string_view argument) const {
  return message ? Report(Fill(message, argument)) : usage_;
}

std::string OptionParser::Report(const std::string& line) const {
  return program_ + ": " + line + "\n" + (syntax_.usage_after_message ? usage_ : "");
}

std::string OptionParser::Listing() const {
  std::string text;
  for (const OptionRule& rule : syntax_.options) {
    std::string left = rule.short_name ? std::string{'-', rule.short_name, ',', ' '} : "    ";
    left = left + "--" + rule.name;
    if (*rule.value_name) left = left + " " + rule.value_name;
    if (left.size() < kListingColumn) left.resize(kListingColumn, ' ');
    text += "  " + left + " ";
    for (const char* c = rule.help; *c; ++c) {
      text += *c;
      if (*c == '\n') text.append(kListingColumn + 3, ' ');
    }
    text += '\n';
  }
  return text;
}

}  // namespace tarn
