// PageScan: what one generated HTML page holds that the site check looks
// at, read in one pass of libxml2's HTML parser (forgiving, as browsers are:
// a page with broken markup still gives what could be read).
//
// Links are every href, src and srcset candidate (a, link, script, img,
// source, iframe, video, audio, embed) and a refresh's url=, as written; ids are every id
// attribute and every name of an <a>. Resources are what a browser loads
// with the page: stylesheets, scripts, images (for a <picture>, each
// candidate, so that the weight takes the largest), icons are not counted.
//
// Thread safety: a value; Scan keeps no state and may run on any thread.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

struct PageScan {
  struct Link {
    std::string url;     // as written in the attribute, entities decoded
    int line = 0;        // the line of its element
    bool image = false;  // an image's src or srcset
  };
  struct Resource {
    std::string url;
    int group = 0;  // resources of one <picture> or srcset share a group > 0
    bool stylesheet = false;
  };

  std::vector<Link> links;
  std::set<std::string> ids;
  std::vector<Resource> resources;
  std::vector<int> images_without_alt;  // lines of <img> with no alt attribute
  int titles = 0;                       // non-empty <title> elements
  int h1s = 0;
  bool description = false;  // <meta name="description"> with content
  bool redirect = false;     // <meta http-equiv="refresh">: an alias page
  // Heading skips as "h2 → h4" with the line of the second heading.
  std::vector<std::pair<std::string, int>> heading_skips;

  // Reads html. A text libxml2 cannot read at all gives an empty scan.
  static PageScan Of(std::string_view html);
};

}  // namespace tarn
