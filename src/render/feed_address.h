// FeedAddress: the addresses a feed holds. A feed reader fetches what a
// feed names from wherever the feed was read, so every address in a feed is
// an absolute URI: the page's links made absolute from the post's own
// address, and non-ASCII characters and the few ASCII ones a URI may not
// hold percent-encoded as UTF-8 bytes.
//
// Thread safety: the functions keep no state.
#pragma once

#include <string>
#include <string_view>

namespace tarn {

class FeedAddress {
 public:
  // address with every byte a URI may not hold (outside ASCII, controls,
  // space, " < > \ ^ ` { | }, and a "%" that starts no %XX) percent-encoded;
  // a valid URI comes back as it is.
  static std::string Encoded(std::string_view address);

  // site_url + "/" + path, encoded; "" when site_url is "" (the feed then
  // has no absolute address to give).
  static std::string Of(std::string_view site_url, std::string_view path);

  // What names a feed or post for good (Atom's id, JSON Feed's id):
  // address, its absolute address, or without one (a blog without
  // system.url) "urn:tarn:" + path, the file's path under public/, encoded.
  static std::string Id(const std::string& address, std::string_view path);

  // html with the address in every href="..." and src="..." attribute
  // resolved against base (an absolute URI) and encoded; addresses that
  // already name a scheme stay as written, apart from the encoding. An
  // address that cannot be resolved is left as it is.
  static std::string Absolute(std::string_view html, std::string_view base);
};

}  // namespace tarn
