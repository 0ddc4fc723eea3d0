#include "check/page_scan.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <cstring>
#include <memory>

namespace tarn {
namespace {

// Reads what one page holds, element by element, in document order.
class ScanWalker {
 public:
  explicit ScanWalker(PageScan* scan) : scan_(scan) {}

  void Walk(xmlNode* node, int picture) {
    for (; node; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      int inner = picture;
      if (Is(node, "picture")) inner = ++groups_;
      Element(node, inner);
      Walk(node->children, inner);
    }
  }

 private:
  static bool Is(xmlNode* node, const char* name) {
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
  }
  // The attribute's value, entities decoded; false when it is absent.
  static bool Attr(xmlNode* node, const char* name, std::string* value) {
    xmlChar* raw = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!raw) return false;
    value->assign(reinterpret_cast<const char*>(raw));
    xmlFree(raw);
    return true;
  }
  static std::string Text(xmlNode* node) {
    xmlChar* raw = xmlNodeGetContent(node);
    std::string text = raw ? reinterpret_cast<const char*>(raw) : "";
    xmlFree(raw);
    return text;
  }

  void AddLink(xmlNode* node, const std::string& url, bool loaded, int group) {
    bool image = Is(node, "img") || Is(node, "source");
    scan_->links.push_back({url, static_cast<int>(xmlGetLineNo(node)), image && loaded});
    if (loaded) scan_->resources.push_back({url, group, Is(node, "link")});
  }
  // Every candidate of a srcset ("a.png 1x, b.png 2x").
  void AddSrcset(xmlNode* node, const std::string& srcset, bool loaded, int group) {
    std::size_t at = 0;
    while (at < srcset.size()) {
      std::size_t end = srcset.find(',', at);
      if (end == std::string::npos) end = srcset.size();
      std::string candidate = srcset.substr(at, end - at);
      std::size_t first = candidate.find_first_not_of(" \t\r\n");
      if (first != std::string::npos) {
        std::size_t last = candidate.find_first_of(" \t\r\n", first);
        AddLink(node, candidate.substr(first, last - first), loaded, group);
      }
      at = end + 1;
    }
  }

  void Element(xmlNode* node, int picture) {
    std::string value;
    if (Attr(node, "id", &value)) scan_->ids.insert(value);
    if (Is(node, "a") && Attr(node, "name", &value)) scan_->ids.insert(value);
    Links(node, picture);
    if (Is(node, "title") && !Text(node).empty()) ++scan_->titles;
    if (Is(node, "meta")) Meta(node);
    if (Is(node, "img") && !Attr(node, "alt", &value))
      scan_->images_without_alt.push_back(static_cast<int>(xmlGetLineNo(node)));
    const char* name = reinterpret_cast<const char*>(node->name);
    if (name[0] == 'h' && name[1] >= '1' && name[1] <= '6' && name[2] == '\0') Heading(node);
  }

  void Links(xmlNode* node, int picture) {
    std::string value;
    bool stylesheet = Is(node, "link") && Attr(node, "rel", &value) &&
                      value.find("stylesheet") != std::string::npos;
    if (Attr(node, "href", &value)) AddLink(node, value, stylesheet, 0);
    bool media = Is(node, "img") || Is(node, "source") || Is(node, "script");
    int group = picture;
    if (Is(node, "img") && !picture && xmlHasProp(node, BAD_CAST "srcset")) group = ++groups_;
    if (Attr(node, "src", &value)) AddLink(node, value, media, group);
    if (Attr(node, "srcset", &value)) AddSrcset(node, value, media, group);
  }

  void Meta(xmlNode* node) {
    std::string value;
    std::string content;
    if (Attr(node, "http-equiv", &value) &&
        xmlStrcasecmp(BAD_CAST value.c_str(), BAD_CAST "refresh") == 0) {
      scan_->redirect = true;
      // "0; url=ADDRESS": where the redirect leads is a link too.
      std::size_t url;
      if (Attr(node, "content", &content) && ((url = content.find("url=")) != std::string::npos ||
                                              (url = content.find("URL=")) != std::string::npos))
        AddLink(node, content.substr(url + 4), false, 0);
    }
    if (Attr(node, "name", &value) && value == "description" && Attr(node, "content", &content) &&
        !content.empty())
      scan_->description = true;
  }

  void Heading(xmlNode* node) {
    int level = node->name[1] - '0';
    if (level == 1) ++scan_->h1s;
    if (last_level_ && level > last_level_ + 1)
      scan_->heading_skips.push_back(
          {"h" + std::to_string(last_level_) + " → h" + std::to_string(level),
           static_cast<int>(xmlGetLineNo(node))});
    last_level_ = level;
  }

  PageScan* scan_;
  int groups_ = 0;
  int last_level_ = 0;
};

}  // namespace

PageScan PageScan::Of(std::string_view html) {
  PageScan scan;
  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
      htmlReadMemory(
          html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
          HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
      xmlFreeDoc);
  if (!doc) return scan;
  ScanWalker(&scan).Walk(xmlDocGetRootElement(doc.get()), 0);
  return scan;
}

}  // namespace tarn
