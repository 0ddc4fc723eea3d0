// FakeScriptHost: page functions as plain C++ for unit tests of code that
// calls a ScriptHost. By default markToHtml wraps its text in <p>...</p> and
// TplRender gives "TEMPLATE|DATA"; a test replaces or adds functions in
// `functions`. Every call's name is recorded in `calls`. A function missing
// from the table fails with "NAME is not defined".
//
// Thread safety: none; a test that needs hosts on several threads makes one
// per thread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "script/script_host.h"

namespace tarn {

class FakeScriptHost : public ScriptHost {
 public:
  using Function = std::function<bool(const std::vector<std::string>& args, std::string* result,
                                      std::string* error)>;

  FakeScriptHost();

  bool HasFunction(const std::string& name) override { return functions.count(name) > 0; }
  bool CallFunction(const std::string& name, const std::vector<std::string>& args,
                    std::string* result, std::string* error) override;
  std::string Origin() const override { return origin; }

  std::map<std::string, Function> functions;
  std::vector<std::string> calls;
  std::string origin = "fake page";
};

}  // namespace tarn
