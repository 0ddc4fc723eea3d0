#include "import/page_address.h"

#include "content/front_matter.h"
#include "content/front_matter_editor.h"
#include "import/import_text.h"

namespace tarn {
namespace {

// Adds "permalink: URL" to the front matter of *text: plain, as YAML
// reads it, else quoted, as TOML needs it. False when neither edit holds.
bool AddPermalink(const std::string& url, std::string* text) {
  for (const std::string& literal : {url, ImportText::Quoted(url)}) {
    FrontMatterEditor editor(*text);
    editor.AddScalarIfMissing("permalink", literal);
    std::string out;
    std::string error;
    if (!editor.Apply(&out, &error)) continue;
    *text = std::move(out);
    return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> PageAddress::Keep(const std::string& name, const std::string& old,
                                           std::string* text, std::string* note) {
  note->clear();
  FrontMatter front;
  front.Read(*text, "", nullptr);
  if (front.Has("permalink")) return {};
  // Hugo's "url" is the page's address, which tarn reads as "permalink".
  if (std::string url = front.GetText("url"); !url.empty()) {
    if (AddPermalink(url, text)) return {"permalink " + url};
    *note = "its url " + url + " cannot be written as its permalink";
    return {};
  }
  if (old.empty() || old == "/" + name + "/") return {};
  FrontMatterEditor editor(*text);
  editor.AddToList("aliases", {old});
  std::string out;
  if (!editor.Apply(&out, note)) {
    *note += "; its old address " + old + " is not kept";
    return {};
  }
  *text = std::move(out);
  return {"old address " + old};
}

}  // namespace tarn
