// PostConversion: the HTML of a build's posts. With a MarkdownConverter
// (the command line's parallel build) every post is handed over at once
// and converted in the background while the build renders its lists; each
// post's HTML is then a view into what the converter holds. Without one
// (the desktop program's page, a preview) each post goes through the page's
// markToHtml when it is asked for.
//
// Thread safety: one thread, the build's. The posts must outlive the
// conversion and stay unchanged while the converter has them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "content/post_index.h"

namespace tarn {

class MarkdownConverter;
class ScriptHost;

class PostConversion {
 public:
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

  // Hands every post to the converter, when there is one, posts to
  // convert and a page that can; nothing otherwise, or when it has them.
  void Start();
  bool started() const { return started_; }
  // The page's host, or null.
  ScriptHost* host() const { return host_; }

  // The HTML of posts[index]: from the converter once started (a view into
  // what it holds), else from the page's markToHtml (kept in *storage).
  // False with *error when the post did not convert.
  bool Get(std::size_t index, std::string* storage, std::string_view* html, std::string* error);

  // Waits for the converter to finish what it has; the views Get gave are
  // gone then.
  void Finish();

 private:
  ScriptHost* host_;
  MarkdownConverter* converter_;
  const std::vector<PostFile>* posts_;
  bool started_ = false;
};

}  // namespace tarn
