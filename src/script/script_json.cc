#include "script/script_json.h"

#include <atomic>
#include <cmath>
#include <utility>

#include "script/jsc_support.h"

namespace tarn {
namespace {

// Helpers every engine gets before its first value. get__names is
// get__name_All as a list, so that a key holding a line break stays whole.
// get__extend writes members with defineProperty so that a "__proto__" key
// is stored as data instead of replacing the object's prototype.
constexpr char kPrelude[] = R"JS(
function get__count(c) {
  return Object.prototype.toString.call(c) === '[object Array]' ? c.length : 0;
}
function get__names(a) {
  var names = [];
  if (a === null || typeof a !== 'object') return names;
  for (var k in a) {
    if (typeof a[k] !== 'function') names.push(k);
  }
  return names;
}
function get__name_All(a) {
  return get__names(a).join('\r\n');
}
function get__extend(target, source) {
  var isArray = function (v) { return Object.prototype.toString.call(v) === '[object Array]'; };
  var isObject = function (v) { return v !== null && typeof v === 'object'; };
  if (isArray(target)) {
    if (isArray(source)) {
      for (var i = 0; i < source.length; i++) target.push(source[i]);
    } else {
      target.push(source);
    }
    return target;
  }
  if (isObject(target) && isObject(source) && !isArray(source)) {
    for (var k in source) {
      if (!Object.prototype.hasOwnProperty.call(source, k)) continue;
      var t = Object.prototype.hasOwnProperty.call(target, k) ? target[k] : undefined;
      var s = source[k];
      var v = isObject(t) && isObject(s) ? get__extend(t, s) : s;
      Object.defineProperty(target, k,
                            { value: v, writable: true, enumerable: true, configurable: true });
    }
    return target;
  }
  return source;
}
)JS";

// Turns each U+2400 of a text read back into a backslash.
constexpr char kRestoreBackslashes[] = ".replace(str_reg, '\\\\')";

// A text as a single-quoted script string literal that evaluates to exactly
// that text.
std::string Quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out + "'";
}

// Copies a script text, writing CR and LF inside string literals as \r and
// \n, so that a JSON text whose strings hold raw line breaks still
// compiles; line breaks between tokens are kept (writing them as \n would
// break pretty-printed JSON). Template literals, which may hold raw line
// breaks, and comments are copied as they are.
class LineBreakEscaper {
 public:
  explicit LineBreakEscaper(std::string_view text) : text_(text) { out_.reserve(text.size() + 16); }

  std::string Run() && {
    for (i_ = 0; i_ < text_.size(); ++i_) {
      switch (state_) {
        case kCode:
          Code();
          break;
        case kQuoted:
          Quoted();
          break;
        case kTemplate:
          Template();
          break;
        case kLineComment:
          if (text_[i_] == '\r' || text_[i_] == '\n') state_ = kCode;
          out_ += text_[i_];
          break;
        case kBlockComment:
          BlockComment();
          break;
      }
    }
    return std::move(out_);
  }

 private:
  char Next() const { return i_ + 1 < text_.size() ? text_[i_ + 1] : '\0'; }

  // Copies the current character and the one after it, stepping over both.
  void CopyPair() {
    out_ += text_[i_];
    out_ += text_[++i_];
  }

  void Code() {
    char c = text_[i_];
    if (c == '\'' || c == '"') {
      state_ = kQuoted;
      quote_ = c;
    } else if (c == '`') {
      state_ = kTemplate;
    } else if (c == '/' && Next() == '/') {
      state_ = kLineComment;
    } else if (c == '/' && Next() == '*') {
      state_ = kBlockComment;
      CopyPair();
      return;
    }
    out_ += c;
  }

  void Quoted() {
    char c = text_[i_];
    char next = Next();
    if (c == '\\' && next != '\0' && next != '\r' && next != '\n') {
      CopyPair();
    } else if (c == quote_) {
      state_ = kCode;
      out_ += c;
    } else if (c == '\r') {
      out_ += "\\r";
    } else if (c == '\n') {
      out_ += "\\n";
    } else {
      out_ += c;
    }
  }

  void Template() {
    char c = text_[i_];
    if (c == '\\' && Next() != '\0') {
      CopyPair();
      return;
    }
    if (c == '`') state_ = kCode;
    out_ += c;
  }

  void BlockComment() {
    if (text_[i_] == '*' && Next() == '/') {
      state_ = kCode;
      CopyPair();
      return;
    }
    out_ += text_[i_];
  }

  enum { kCode, kQuoted, kTemplate, kLineComment, kBlockComment } state_ = kCode;
  std::string_view text_;
  size_t i_ = 0;
  char quote_ = 0;  // the quote that opened the current string
  std::string out_;
};

std::string EscapeLineBreaksInStrings(std::string_view text) {
  return LineBreakEscaper(text).Run();
}

}  // namespace

struct ScriptJson::Engine {
  JSContextGroupRef group = nullptr;
  JSGlobalContextRef context = nullptr;
  std::atomic<bool> timed_out{false};

  ~Engine() {
    if (context) JSGlobalContextRelease(context);
    if (group) JSContextGroupRelease(group);
  }

  // The value of code, or null when it does not compile, throws or runs out
  // of time.
  JSValueRef Evaluate(const std::string& code) {
    JSStringRef source = NewJsString(code);
    JSValueRef exception = nullptr;
    timed_out = false;
    JSValueRef value = JSEvaluateScript(context, source, nullptr, nullptr, 1, &exception);
    JSStringRelease(source);
    return exception ? nullptr : value;
  }
};

ScriptJson::ScriptJson() = default;
ScriptJson::~ScriptJson() = default;
ScriptJson::ScriptJson(ScriptJson&& other) noexcept = default;
ScriptJson& ScriptJson::operator=(ScriptJson&& other) noexcept = default;

ScriptJson::ScriptJson(const ScriptJson& other)
    : name_(other.name_), time_limit_seconds_(other.time_limit_seconds_) {
  if (!other.engine_) return;
  std::string text;
  bool have_text = other.RunText("JSON.stringify(" + other.name_ + ")", &text);
  if (Init() && !(have_text && Parse(text))) Run(name_ + " = null");
}

ScriptJson& ScriptJson::operator=(const ScriptJson& other) {
  if (this != &other) *this = ScriptJson(other);
  return *this;
}

bool ScriptJson::Init() {
  engine_.reset();
  auto engine = std::make_unique<Engine>();
  engine->group = JSContextGroupCreate();
  if (!engine->group) return false;
  SetExecutionTimeLimit(engine->group, time_limit_seconds_, &engine->timed_out);
  engine->context = JSGlobalContextCreateInGroup(engine->group, nullptr);
  if (!engine->context) return false;
  if (!engine->Evaluate(kPrelude)) return false;
  if (!engine->Evaluate("var " + name_ +
                        " = {}, str_Code = String.fromCharCode(9216), "
                        "str_reg = new RegExp(str_Code, 'g')")) {
    return false;
  }
  engine_ = std::move(engine);
  return true;
}

void ScriptJson::SetTimeLimit(double seconds) {
  time_limit_seconds_ = seconds;
  if (engine_) SetExecutionTimeLimit(engine_->group, seconds, &engine_->timed_out);
}

bool ScriptJson::Run(const std::string& code) const {
  return engine_ && engine_->Evaluate(code) != nullptr;
}

bool ScriptJson::RunText(const std::string& code, std::string* text) const {
  text->clear();
  if (!engine_) return false;
  JSValueRef value = engine_->Evaluate(code);
  if (!value || !JSValueIsString(engine_->context, value)) return false;
  JSStringRef s = JSValueToStringCopy(engine_->context, value, nullptr);
  if (!s) return false;
  *text = JsStringToUtf8(s);
  JSStringRelease(s);
  return true;
}

bool ScriptJson::Parse(std::string_view text) {
  if (!engine_ || !Init()) return false;
  Run("var " + name_ + " = null");
  // The line break before ")" keeps a trailing line comment from eating it.
  // A text that throws or times out after assigning (a valid value followed
  // by more code) is no valid value either.
  if (!Run("var " + name_ + " = eval(" + EscapeLineBreaksInStrings(text) + "\n)")) {
    Run(name_ + " = null");
    return false;
  }
  JSValueRef set = engine_->Evaluate(name_ + " != null");
  return set && JSValueToBoolean(engine_->context, set);
}

bool ScriptJson::Reset() { return Run(name_ + " = {}"); }

std::string ScriptJson::ToText() const { return ToTextAt(""); }

std::string ScriptJson::ToTextAt(std::string_view path) const {
  std::string text;
  RunText("JSON.stringify(" + Expression(path) + ")" + kRestoreBackslashes, &text);
  return text;
}

bool ScriptJson::Extend(std::string_view path, std::string_view value, bool is_json) {
  std::string expr = Expression(path);
  std::string source = is_json ? "JSON.parse(" + Quote(value) + ")" : Quote(value);
  return Run(expr + " = get__extend(" + expr + ", " + source + ")");
}

bool ScriptJson::Assign(std::string_view path, std::string_view expression) {
  return Run(Expression(path) + " = eval(" + std::string(expression) + "\n)");
}

std::string ScriptJson::Expression(std::string_view path) const {
  if (path.empty()) return name_;
  if (path.front() == '[') return name_ + std::string(path);
  return name_ + "." + std::string(path);
}

int ScriptJson::GetType(std::string_view path) const {
  if (!engine_) return kNull;
  std::string expr = Expression(path);
  JSValueRef is_null = engine_->Evaluate(expr + " == null");
  if (!is_null || JSValueToBoolean(engine_->context, is_null)) return kNull;
  std::string tag;
  if (!RunText("Object.prototype.toString.call(" + expr + ")", &tag)) return kNull;
  if (tag == "[object String]") return kString;
  if (tag == "[object Array]") return kArray;
  if (tag == "[object Object]") return kObject;
  if (tag == "[object Number]") return kNumber;
  if (tag == "[object Boolean]") return kBoolean;
  return kOther;
}

std::string ScriptJson::GetText(std::string_view path, bool as_json) const {
  std::string expr = Expression(path);
  std::string text;
  RunText((as_json ? "JSON.stringify(" + expr + ")" : expr) + kRestoreBackslashes, &text);
  return text;
}

int ScriptJson::GetKeys(std::string_view path, std::vector<std::string>* keys) const {
  keys->clear();
  if (!engine_) return 0;
  JSValueRef list = engine_->Evaluate("get__names(" + Expression(path) + ")");
  JSContextRef ctx = engine_->context;
  if (!list || !JSValueIsArray(ctx, list)) return 0;
  JSObjectRef array = JSValueToObject(ctx, list, nullptr);
  JSStringRef length_name = NewJsString("length");
  double length =
      JSValueToNumber(ctx, JSObjectGetProperty(ctx, array, length_name, nullptr), nullptr);
  JSStringRelease(length_name);
  for (unsigned i = 0; i < length; ++i) {
    JSValueRef key = JSObjectGetPropertyAtIndex(ctx, array, i, nullptr);
    JSStringRef s = key ? JSValueToStringCopy(ctx, key, nullptr) : nullptr;
    if (!s) break;
    keys->push_back(JsStringToUtf8(s));
    JSStringRelease(s);
  }
  return static_cast<int>(keys->size());
}

int ScriptJson::GetCount(std::string_view path) const {
  if (!engine_) return 0;
  JSValueRef count = engine_->Evaluate("get__count(" + Expression(path) + ")");
  if (!count) return 0;
  double n = JSValueToNumber(engine_->context, count, nullptr);
  return std::isfinite(n) ? static_cast<int>(n) : 0;
}

ScriptJson ScriptJson::CopyOf(const std::string& expression) const {
  ScriptJson copy;
  copy.name_ = name_;
  copy.time_limit_seconds_ = time_limit_seconds_;
  if (!engine_) return copy;
  std::string text;
  bool have_text = RunText(expression, &text);
  if (copy.Init() && !(have_text && copy.Parse(text))) copy.Run(copy.name_ + " = null");
  return copy;
}

ScriptJson ScriptJson::GetDocument(std::string_view path) const {
  return CopyOf("JSON.stringify(" + Expression(path) + ")" + kRestoreBackslashes);
}

ScriptJson ScriptJson::GetItem(std::string_view path, int index) const {
  return CopyOf("JSON.stringify(" + Expression(path) + "[" + std::to_string(index) + "])" +
                kRestoreBackslashes);
}

std::string ScriptJson::GetItemText(std::string_view path, int index, bool as_json) const {
  std::string expr = Expression(path) + "[" + std::to_string(index) + "]";
  std::string text;
  RunText((as_json ? "JSON.stringify(" + expr + ")" : expr) + kRestoreBackslashes, &text);
  return text;
}

bool ScriptJson::Append(std::string_view path, std::string_view value, bool is_text) {
  std::string expr = Expression(path);
  std::string item = is_text ? Quote(value) : std::string(value);
  return Run("if (Object.prototype.toString.call(" + expr + ") != '[object Array]') { " + expr +
             " = new Array() } " + expr + ".push(" + item + "\n)");
}

bool ScriptJson::SetItem(std::string_view path, int index, std::string_view value, bool is_text) {
  if (index < 0) return false;  // would add a member JSON.stringify never shows
  std::string item = is_text ? Quote(value) : std::string(value);
  return Run(Expression(path) + "[" + std::to_string(index) + "] = " + item);
}

bool ScriptJson::RemoveAt(std::string_view path, int index) {
  if (index < 0) return false;  // splice would count from the end
  return Run(Expression(path) + ".splice(" + std::to_string(index) + ", 1)");
}

bool ScriptJson::Remove(std::string_view path) {
  if (!engine_) return false;
  JSValueRef deleted = engine_->Evaluate("delete " + Expression(path));
  return deleted && JSValueToBoolean(engine_->context, deleted);
}

bool ScriptJson::SetValue(std::string_view path, std::string_view value) {
  return Run(Expression(path) + " = " + std::string(value));
}

double ScriptJson::Evaluate(std::string_view expression) {
  if (!engine_) return 0;
  JSValueRef value = engine_->Evaluate(std::string(expression));
  if (!value) return 0;
  JSValueRef exception = nullptr;
  double n = JSValueToNumber(engine_->context, value, &exception);
  return exception ? 0 : n;
}

ScriptJson ScriptJson::Detach() {
  ScriptJson detached;
  detached.name_ = name_;
  detached.time_limit_seconds_ = time_limit_seconds_;
  detached.engine_ = std::move(engine_);
  return detached;
}

}  // namespace tarn
