// ExtraPages: the pages a theme lists in its _conf.json ("pages": [{"tpl":
// "about", "target": "docs/about"}]), each its template rendered into
// public/TARGET.html with the folders it needs.
//
// tpl and target are names inside the theme folder and inside public/ ("\"
// counts as "/", as on the systems themes are written on); one that is
// empty, absolute or holds a ".." step is refused with a message, and so is
// a page whose template cannot be read or renders to empty text. Other
// pages are still written.
//
// Thread safety: the build's thread.
#pragma once

#include <string>

namespace tarn {

class SiteRender;

class ExtraPages {
 public:
  // Writes the pages. True; what is refused is reported without stopping
  // the build.
  static bool Write(SiteRender& site);

  // A theme-relative or public-relative name from _conf.json, "\" taken as
  // "/"; "" when it would leave its folder (absolute, or a ".." step).
  static std::string ContainedName(std::string name);
};

}  // namespace tarn
