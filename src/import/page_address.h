// PageAddress: where an old site's page lands when it is imported into
// _pages/, written into its front matter: the address its generator gave
// it through the front matter (Hugo's "url") becomes tarn's "permalink";
// without one, the page's old address, where tarn puts the page elsewhere
// (at /NAME/), becomes an alias, so old links lead to it.
//
// Thread safety: the functions keep no state.
#pragma once

#include <string>
#include <vector>

namespace tarn {

class PageAddress {
 public:
  // Edits *text, the page to be _pages/NAME.md, whose old address (when
  // its front matter gives none) was old ("" when unknown). Returns what
  // changed, for the report ("permalink /me/", "old address /a.html").
  // An edit the front matter does not take (FrontMatterEditor) is left
  // out, with the reason in *note ("" when there is none).
  static std::vector<std::string> Keep(const std::string& name, const std::string& old,
                                       std::string* text, std::string* note);
};

}  // namespace tarn
