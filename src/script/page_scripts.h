// Finds the <script> elements of an HTML page the way a browser's tokenizer
// does, so that a host without a DOM can run the same scripts in the same
// order: comments and the contents of raw-text elements (<style>, <textarea>,
// <title>, ...) are skipped, scripts inside <template> are inert, tag and
// attribute names are case-insensitive, attribute values may be quoted
// either way or bare, and a script's text ends at the first "</script"
// (in any case) that the HTML rules say ends it. Script text is returned
// exactly as written: nothing inside a script is decoded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct PageScript {
  // What a browser would do with the element.
  enum Kind {
    kClassic,      // a classic script: runs
    kModule,       // type="module"
    kImportMap,    // type="importmap"
    kData,         // any other type: a data block ("text/template", JSON), never run
    kUnterminated  // no closing tag before the end of the page: never run
  };

  Kind kind = kClassic;
  bool has_src = false;
  std::string src;   // the src attribute, character references decoded
  std::string type;  // the type attribute as written ("" when absent)
  bool defer = false;
  bool async = false;
  std::string text;   // the element's text, unchanged (ignored when has_src)
  int tag_line = 1;   // 1-based line of the "<script" tag
  int text_line = 1;  // 1-based line on which the text starts
};

// The script elements of html in document order, leaving out those inside
// <template>. Never fails: broken markup is read as a browser would read it.
std::vector<PageScript> ExtractPageScripts(std::string_view html);

}  // namespace tarn
