// PostConversion: the HTML of a build's posts. With a MarkdownConverter
// (the command line's parallel build) every post is handed over at once
// and converted in the background while the build renders its lists; each
// post's HTML is then a view into what the converter holds. Without one
// (the desktop program's page, a preview) each post goes through the page's
// markToHtml when it is asked for.
//
// What the theme asks to be rendered while converting (highlighted code,
// typeset maths: ThemeFeatures::code_at_build, maths_at_build) travels with
// each text, on a first line of its own that the page's markToHtml reads
// and removes: kRenderMark, the names ("code", "maths") each after a space,
// a line feed. A conversion worker takes nothing but the text, and the
// conversion cache keys an entry by the text it converted, so a post's HTML
// rendered one way is never handed out for the other. The line goes only to
// a page that says it reads it (it defines kRendersFunction); without a
// request each post's text goes as it is.
//
// Thread safety: one thread, the build's. The posts must outlive the
// conversion and stay unchanged while the converter has them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"
#include "convert/conversion_cache.h"
#include "data/diagnostics.h"

namespace tarn {

class MarkdownConverter;
class ScriptHost;

class PostConversion {
 public:
  // Starts the line that asks markToHtml to render while converting; a
  // control character, which no post's text starts with.
  static constexpr char kRenderMark[] = "\x01tarn-render:";
  // The page function whose presence says markToHtml reads that line.
  static constexpr char kRendersFunction[] = "markToHtmlRenders";

  // host and converter may be null; neither is owned.
  PostConversion(ScriptHost* host, MarkdownConverter* converter,
                 const std::vector<PostFile>* posts);
  ~PostConversion();  // Finish
  PostConversion(const PostConversion&) = delete;
  PostConversion& operator=(const PostConversion&) = delete;

  // True when the page defines markToHtml; otherwise *why says what is
  // missing ("PAGE defines no markToHtml function", or that no page is
  // loaded).
  bool CanConvert(std::string* why) const;

  // Asks markToHtml to highlight code and typeset maths while converting,
  // those of the two asked for; call before Start. A page that cannot (it
  // defines no kRendersFunction) is reported on sink and converts as it
  // does without the request. Does nothing when neither is asked for.
  void RenderWhileConverting(bool code, bool maths, const DiagnosticSink& sink);

  // Hands every post to the converter, when there is one, posts to
  // convert and a page that can; nothing otherwise, or when it has them.
  void Start();
  bool started() const { return started_; }
  // The page's host, or null.
  ScriptHost* host() const { return host_; }

  // The HTML of posts[index]: from the converter once started (a view into
  // what it holds), else from the page's markToHtml (kept in *storage).
  // False with *error when the post did not convert. *source (when given)
  // gets the converter's key of the text it converted
  // (MarkdownConverter::Result::key), nullopt without the converter.
  bool Get(std::size_t index, std::string* storage, std::string_view* html, std::string* error,
           std::optional<ConversionCache::Key>* source = nullptr);

  // Waits for the converter to finish what it has; the views Get gave are
  // gone then.
  void Finish();

 private:
  // The text markToHtml gets for posts[index]: the request line, if any,
  // then the post's Markdown.
  std::string Request(std::size_t index) const;

  ScriptHost* host_;
  MarkdownConverter* converter_;
  const std::vector<PostFile>* posts_;
  std::string render_line_;            // "" when nothing is rendered while converting
  std::vector<std::string> requests_;  // the texts the converter has, with render_line_
  bool started_ = false;
};

}  // namespace tarn
