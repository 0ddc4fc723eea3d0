// ScriptJson: one JSON value held in a JavaScript engine and worked on by
// evaluating JavaScript expressions. Its main use is checking a text:
// Parse is true when the text evaluates to a value other than null or
// undefined. The other operations read and change the value by path.
//
// The value lives in the script variable `da`. A path becomes an expression
// by appending it: "" is `da`, "[0].x" gives `da[0].x`, "pages[1]" gives
// `da.pages[1]`. Paths and value texts are script code and are evaluated as
// such; only the texts of Append/SetItem with is_text and of Extend are
// quoted, exactly (quotes, backslashes and line breaks escaped). The script
// variables str_Code (U+2400) and str_reg carry backslashes: every text read
// back turns each U+2400 into a backslash.
//
// Engine: JavaScriptCore, one context group per object, with nothing in it
// but the standard library and a small prelude (get__count, get__name_All,
// get__extend): scripts can compute but cannot reach files, processes or the
// network. Every evaluation is bounded by a time limit (SetTimeLimit), so a
// text such as "while(true){}" makes Parse return false instead of hanging.
// What a hostile text can still do: use CPU up to the time limit per
// evaluation, and allocate memory within that time (the engine has no heap
// quota; it stops single strings at 2^31 characters and throws on
// allocations it cannot make, and deep recursion ends in a RangeError).
// It can also change this object's own engine (plant getters in its value,
// replace JSON or the prelude), so later operations on it may run its code
// again, each bounded the same way; other objects never see it.
//
// Failure: an operation whose script throws returns its empty result (false,
// "", 0, an empty list, or a ScriptJson holding null); nothing is reported.
// Without an engine (before Init, after Detach) every operation but Init
// and Expression fails the same way.
//
// Thread safety: none; use an object from one thread at a time. Objects are
// independent of each other and may live on different threads.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class ScriptJson {
 public:
  // Results of GetType.
  enum Type {
    kNull = 0,  // null, undefined, a path that does not resolve
    kString = 1,
    kArray = 2,
    kObject = 3,
    kNumber = 4,
    kBoolean = 5,
    kOther = 6,  // functions, dates, regular expressions, ...
  };

  // Generous: evaluating a 3.5 MB JSON text takes about 2 s on a busy machine.
  static constexpr double kDefaultTimeLimitSeconds = 10;

  ScriptJson();  // no engine yet; the variable name is "da"
  ~ScriptJson();
  // A copy gets an engine of its own holding the same value (as JSON text:
  // functions and undefined members are not copied).
  ScriptJson(const ScriptJson& other);
  ScriptJson& operator=(const ScriptJson& other);
  ScriptJson(ScriptJson&& other) noexcept;
  ScriptJson& operator=(ScriptJson&& other) noexcept;

  // Creates a fresh engine (dropping any previous one) holding `da = {}`.
  // False when the engine cannot be created.
  bool Init();
  bool HasEngine() const { return engine_ != nullptr; }

  // Evaluates text as a script expression in a fresh engine and keeps its
  // value. Line breaks inside string literals are written as \r and \n, so
  // a JSON text with raw line breaks in its strings is accepted. Returns
  // true when the value is neither null nor undefined; false when it is,
  // when the text does not compile, throws or runs out of time, and when
  // there is no engine (call Init first).
  bool Parse(std::string_view text);

  // da = {}. False on failure.
  bool Reset();
  // JSON text of the whole value; "" on failure.
  std::string ToText() const;

  // Merges a value into the one at path: arrays get the source's elements
  // appended; objects get each member of the source, merged recursively
  // where both sides hold objects and replaced otherwise; anything else is
  // replaced. is_json: value is JSON text (parsed strictly, never run);
  // otherwise value is a plain text. False on failure (bad JSON too).
  bool Extend(std::string_view path, std::string_view value, bool is_json);
  // expr = eval(expression). False when it throws.
  bool Assign(std::string_view path, std::string_view expression);
  // The script expression for path.
  std::string Expression(std::string_view path) const;
  // One of Type; kNull on failure.
  int GetType(std::string_view path) const;
  // The string at path (as_json: the JSON text of any value); "" when the
  // value is not a string (not as_json) or on failure.
  std::string GetText(std::string_view path, bool as_json = false) const;
  // Names of the object's members that are not functions, in order;
  // returns their number (0 and an empty list when not an object).
  int GetKeys(std::string_view path, std::vector<std::string>* keys) const;
  // Length of the array at path; 0 for anything else.
  int GetCount(std::string_view path) const;
  // A new ScriptJson holding a copy of the value at path (null on failure).
  ScriptJson GetDocument(std::string_view path) const;
  // Makes the value at path an array if it is not one, then pushes value:
  // a text when is_text (quoted exactly), otherwise script code.
  bool Append(std::string_view path, std::string_view value, bool is_text);
  // A new ScriptJson holding a copy of element index of the value at path.
  ScriptJson GetItem(std::string_view path, int index) const;
  // GetText for element index of the value at path.
  std::string GetItemText(std::string_view path, int index, bool as_json = false) const;
  // expr[index] = value (a text when is_text, otherwise script code). False
  // for a negative index.
  bool SetItem(std::string_view path, int index, std::string_view value, bool is_text);
  // Removes element index of the array at path (nothing when past the end);
  // false for a negative index or when the value is not an array.
  bool RemoveAt(std::string_view path, int index);
  // delete expr; false when it throws or the member cannot be deleted.
  bool Remove(std::string_view path);
  // expr = value (script code).
  bool SetValue(std::string_view path, std::string_view value);
  // The value of a script expression as a number; 0 on failure.
  double Evaluate(std::string_view expression);
  // JSON text of the value at path; "" on failure.
  std::string ToTextAt(std::string_view path) const;
  // Hands this object's engine and value to the returned object; this one
  // is left without an engine.
  ScriptJson Detach();

  // Bounds every later evaluation; applies to the current engine and to
  // those Init and Parse create. 0 or less: no bound.
  void SetTimeLimit(double seconds);

 private:
  struct Engine;

  bool Run(const std::string& code) const;
  bool RunText(const std::string& code, std::string* text) const;
  ScriptJson CopyOf(const std::string& expression) const;

  std::string name_ = "da";
  double time_limit_seconds_ = kDefaultTimeLimitSeconds;
  std::unique_ptr<Engine> engine_;
};

}  // namespace tarn
