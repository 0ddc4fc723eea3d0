#include "support/fake_script_host.h"

namespace tarn {

FakeScriptHost::FakeScriptHost() {
  functions["markToHtml"] = [](const std::vector<std::string>& args, std::string* result,
                               std::string*) {
    *result = "<p>" + args.at(0) + "</p>";
    return true;
  };
  functions["TplRender"] = [](const std::vector<std::string>& args, std::string* result,
                              std::string*) {
    *result = args.at(0) + "|" + args.at(1);
    return true;
  };
}

bool FakeScriptHost::CallFunction(const std::string& name, const std::vector<std::string>& args,
                                  std::string* result, std::string* error) {
  calls.push_back(name);
  result->clear();
  auto it = functions.find(name);
  if (it == functions.end()) {
    *error = name + " is not defined";
    return false;
  }
  return it->second(args, result, error);
}

}  // namespace tarn
