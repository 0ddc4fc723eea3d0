// PageTexts: the texts the program's own pages show (the manager page,
// template/index copy.html, and the editor page, template/editor.html),
// translated through the program's catalogue, so that the pages need none
// of their own.
//
// A page asks globalThis.tarnText(key, fallback, value): the translation of
// key, with "{}" standing for value, or fallback (the page's own text) when
// the catalogue does not translate key. On DOMContentLoaded the script also
// puts the translation of data-text="KEY" into the element's text, of
// data-text-nodes="KEY1 KEY2" into its own text nodes that are not blank,
// in order (for an element with icons or code among its words), and of
// data-text-ATTR="KEY" into its attribute ATTR, "{}" standing for the
// element's data-text-value. A page keeps its own texts where no
// translation is given (a Chinese or C locale, a key the table lacks) and
// where the program is not there to give them (an ordinary browser).
//
// Thread safety: any thread, after Translation::Start.
#pragma once

#include <string>

namespace tarn {

class PageTexts {
 public:
  // The script that defines tarnText for a page, holding the translations
  // of the keys this locale translates (none in a Chinese or C locale).
  static std::string Script();
};

}  // namespace tarn
