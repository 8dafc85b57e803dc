// The browser configurator's site, served from the folder the web build
// made: each file in the compressed form the build put beside it (NAME.br,
// NAME.gz) when the request's Accept-Encoding takes that coding, brotli
// before gzip, else as it is. The compressed forms are never a page of the
// site of their own, and nothing outside the folder is ever served.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace office {

// Which coding of a file to send for a request's Accept-Encoding: "br",
// "gzip" or "" (the file as it is), of those the file has. A coding with
// q=0 is refused, "*" stands for every coding not named, names are taken
// in any case, and the higher q wins (brotli on a tie).
std::string ChooseEncoding(std::string_view accept_encoding, bool has_brotli, bool has_gzip);

// The Content-Type of a site's file, by its name.
std::string SiteContentType(std::string_view name);

struct SiteAnswer {
  int status = 404;          // 200, 304 (the client's copy is current) or 404
  std::string file;          // the file whose bytes are sent (200)
  std::string encoding;      // its Content-Encoding, "" for none
  std::string content_type;  // of the file asked for, not of its compressed form
  std::string etag;          // of the bytes sent: their file's size and time
};

class StaticSite {
 public:
  explicit StaticSite(std::string folder);

  // The answer to a GET of `path` (the request's path, its escapes already
  // decoded) with the request's Accept-Encoding and If-None-Match.
  SiteAnswer Find(std::string_view path, std::string_view accept_encoding, std::string_view if_none_match) const;

 private:
  std::string folder_;  // canonical, without a trailing separator
};

}  // namespace office
