// The browser configurator's site as the office sends it over real HTTPS:
// every file in the compressed form the build made of it that the
// browser's Accept-Encoding takes, its bytes those of that form on disk and,
// decompressed, those of the file; never a compressed form by its own name,
// nothing outside the folder.
#include <brotli/decode.h>
#include <brotli/encode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "HttpsTestSupport.h"
#include "server/StaticSite.h"

namespace office {
namespace {

namespace fs = std::filesystem;

std::string Gzip(const std::string& data) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, data.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string Gunzip(const std::string& data) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  std::string out;
  char buffer[16384];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  inflateEnd(&z);
  return result == Z_STREAM_END ? out : "(not gzip)";
}

std::string Brotli(const std::string& data) {
  std::string out(BrotliEncoderMaxCompressedSize(data.size()) + 16, '\0');
  std::size_t size = out.size();
  EXPECT_TRUE(BrotliEncoderCompress(BROTLI_MAX_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC, data.size(),
                                    reinterpret_cast<const std::uint8_t*>(data.data()), &size,
                                    reinterpret_cast<std::uint8_t*>(out.data())));
  out.resize(size);
  return out;
}

std::string Unbrotli(const std::string& data) {
  std::string out(1 << 20, '\0');
  std::size_t size = out.size();
  if (BrotliDecoderDecompress(data.size(), reinterpret_cast<const std::uint8_t*>(data.data()), &size,
                              reinterpret_cast<std::uint8_t*>(out.data())) != BROTLI_DECODER_RESULT_SUCCESS)
    return "(not brotli)";
  out.resize(size);
  return out;
}

std::string HeaderOf(const std::string& head, std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::istringstream lines(head);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = line.substr(0, colon);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key == name) return line.substr(line.find_first_not_of(' ', colon + 1));
  }
  return "";
}

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string Text(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  const std::string words[] = {"const ", "page ", "engine ", "=> ", "{ ", "} ", "\n", "поле ", "0x", "42; "};
  std::string text;
  while (text.size() < size) text += words[random() % std::size(words)];
  return text;
}

std::string Binary(std::size_t size) {
  std::mt19937 random(7);
  std::string bytes = "\0asm\1\0\0\0";
  while (bytes.size() < size) bytes += static_cast<char>(random() % 16);  // compressible, not text
  return bytes;
}

// Which forms of a file the build made beside it.
enum Forms { kBoth, kGzipOnly, kNone };

struct SiteFile {
  std::string name, type;
  std::string bytes;
  Forms forms;
};

// Each Accept-Encoding and the coding sent for a file with both forms, for
// one with only its gzip form and for one with only its brotli form; a file
// with neither goes as it is.
struct AcceptRow {
  std::string accept;  // "(none)": no such header
  std::string both, gzip_only, brotli_only;
};

const AcceptRow kAccepts[] = {
    {"(none)", "", "", ""},
    {"", "", "", ""},
    {"gzip, deflate, br", "br", "gzip", "br"},  // the browser's
    {"br", "br", "", "br"},
    {"gzip", "gzip", "gzip", ""},
    {"deflate", "", "", ""},
    {"identity", "", "", ""},
    {"*", "br", "gzip", "br"},
    {"BR, GZip", "br", "gzip", "br"},
    {"x-gzip", "gzip", "gzip", ""},
    {"br;q=0, gzip", "gzip", "gzip", ""},
    {"br;q=0, gzip;q=0", "", "", ""},
    {"*;q=0", "", "", ""},
    {"*;q=0, gzip", "gzip", "gzip", ""},
    {"gzip;q=1.0, br;q=0.5", "gzip", "gzip", "br"},
    {"gzip;q=0.5, br;q=0.5", "br", "gzip", "br"},
    {"br ; q=0.001", "br", "", "br"},
    {"br;q=2, gzip", "gzip", "gzip", ""},  // no q a client could mean: the coding is not taken
    {"br;q=x", "", "", ""},
    {"gzip,,  ,br", "br", "gzip", "br"},
};

TEST(StaticSite, TheCodingSentIsTheOneTheRequestTakesBest) {
  for (const AcceptRow& row : kAccepts) {
    const std::string accept = row.accept == "(none)" ? "" : row.accept;
    EXPECT_EQ(ChooseEncoding(accept, true, true), row.both) << row.accept;
    EXPECT_EQ(ChooseEncoding(accept, false, true), row.gzip_only) << row.accept;
    EXPECT_EQ(ChooseEncoding(accept, false, false), "") << row.accept;
    EXPECT_EQ(ChooseEncoding(accept, true, false), row.brotli_only) << row.accept;
  }
}

class SiteOverHttps : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!office_.Available()) GTEST_SKIP() << "no store";
    server_ = std::make_unique<RunningOffice>(office_);
    site_ = server_->Site();
    files_ = {
        {"index.html", "text/html; charset=utf-8", "<!doctype html><title>Острел</title>" + Text(20000, 1), kBoth},
        {"app.js", "text/javascript; charset=utf-8", Text(30000, 2), kBoth},
        {"engine.mjs", "text/javascript; charset=utf-8", Text(25000, 3), kBoth},
        {"engine.wasm", "application/wasm", Binary(140000), kBoth},
        {"style.css", "text/css; charset=utf-8", Text(3000, 4), kBoth},
        {"icon.svg", "image/svg+xml", "<svg xmlns='http://www.w3.org/2000/svg'/>", kBoth},
        {"manifest.webmanifest", "application/manifest+json", R"({"name":"Острел"})", kBoth},
        {"old.js", "text/javascript; charset=utf-8", Text(5000, 5), kGzipOnly},
        {"open.bmp", "image/bmp", Binary(3000), kNone},
        {"tiny.js", "text/javascript; charset=utf-8", "", kBoth},
        {"sub/index.html", "text/html; charset=utf-8", Text(500, 6), kBoth},
    };
    for (const SiteFile& f : files_) {
      Write(fs::path(site_) / f.name, f.bytes);
      if (f.forms != kNone) Write(fs::path(site_) / (f.name + ".gz"), Gzip(f.bytes));
      if (f.forms == kBoth) Write(fs::path(site_) / (f.name + ".br"), Brotli(f.bytes));
    }
  }

  RawAnswer Get(const std::string& target, const std::string& headers = "", const std::string& method = "GET") {
    return Exchange(server_->Port(), Request(server_->Port(), method, target, headers));
  }

  TestOffice office_{"sqlite"};
  std::unique_ptr<RunningOffice> server_;
  std::string site_;
  std::vector<SiteFile> files_;
};

TEST_F(SiteOverHttps, EveryFileInTheFormTheRequestTakes) {
  for (const SiteFile& f : files_) {
    for (const AcceptRow& row : kAccepts) {
      const std::string what = f.name + " with Accept-Encoding " + row.accept;
      const std::string expected = f.forms == kBoth ? row.both : f.forms == kGzipOnly ? row.gzip_only : "";
      const std::string headers = row.accept == "(none)" ? "" : "Accept-Encoding: " + row.accept + "\r\n";
      const std::string target = f.name == "index.html" ? "/" : "/" + f.name;
      const RawAnswer a = Get(target, headers);
      ASSERT_EQ(a.status, 200) << what << "\n" << a.head;
      EXPECT_EQ(HeaderOf(a.head, "Content-Encoding"), expected) << what;
      EXPECT_EQ(HeaderOf(a.head, "Content-Type"), f.type) << what;
      EXPECT_EQ(HeaderOf(a.head, "Vary"), "Accept-Encoding") << what;
      EXPECT_EQ(HeaderOf(a.head, "Cache-Control"), "no-cache") << what;
      EXPECT_EQ(HeaderOf(a.head, "Content-Length"), std::to_string(a.body.size())) << what;
      // The form the build made, as it is on disk, and the file once decoded.
      const std::string suffix = expected == "br" ? ".br" : expected == "gzip" ? ".gz" : "";
      std::ifstream on_disk(fs::path(site_) / (f.name + suffix), std::ios::binary);
      EXPECT_EQ(a.body, std::string(std::istreambuf_iterator<char>(on_disk), {})) << what;
      const std::string decoded = expected == "br" ? Unbrotli(a.body) : expected == "gzip" ? Gunzip(a.body) : a.body;
      EXPECT_EQ(decoded, f.bytes) << what;

      // Asked again with its tag: not sent again; the tag of another form
      // does not stand for this one.
      const std::string etag = HeaderOf(a.head, "ETag");
      ASSERT_FALSE(etag.empty()) << what;
      const RawAnswer again = Get(target, headers + "If-None-Match: W/\"x\", " + etag + "\r\n");
      EXPECT_EQ(again.status, 304) << what << "\n" << again.head;
      EXPECT_EQ(again.body, "") << what;
      EXPECT_EQ(HeaderOf(again.head, "ETag"), etag) << what;
      if (row.accept == "gzip, deflate, br" && f.forms != kNone) {
        const RawAnswer plain = Get(target, "If-None-Match: " + etag + "\r\n");
        EXPECT_EQ(plain.status, 200) << what;
        EXPECT_NE(HeaderOf(plain.head, "ETag"), etag) << what;
      }
      // HEAD: the same head, no body.
      const RawAnswer head = Get(target, headers, "HEAD");
      EXPECT_EQ(head.status, 200) << what;
      EXPECT_EQ(HeaderOf(head.head, "Content-Encoding"), expected) << what;
      EXPECT_EQ(HeaderOf(head.head, "Content-Length"), std::to_string(a.body.size())) << what;
      EXPECT_EQ(head.body, "") << what;
    }
  }
}

TEST_F(SiteOverHttps, NothingButTheSiteIsServed) {
  const fs::path outside = fs::path(site_).parent_path() / "secret.txt";
  Write(outside, "root:secret");
  Write(fs::path(site_) / ".hidden", "root:hidden");
  fs::create_symlink(outside, fs::path(site_) / "link.txt");
  fs::create_directories(fs::path(site_) / "empty");
  const std::string browser = "Accept-Encoding: gzip, deflate, br\r\n";
  const struct {
    std::string what, target;
  } rows[] = {
      {"a brotli form by its name", "/app.js.br"},
      {"a gzip form by its name", "/engine.wasm.gz"},
      {"a compressed form of the page by its name", "/index.html.br"},
      {"a compressed form in a folder", "/sub/index.html.gz"},
      {"a compressed form in capitals", "/app.js.BR"},
      {"a file that is not there", "/nothing.js"},
      {"a folder without its slash", "/sub"},
      {"a folder without a page", "/empty/"},
      {"a hidden file", "/.hidden"},
      {"an escaped hidden file", "/%2ehidden"},
      {"up from the site", "/../secret.txt"},
      {"up, escaped", "/%2e%2e/secret.txt"},
      {"up, escaped slash", "/sub/..%2f..%2fsecret.txt"},
      {"up and down again", "/sub/../app.js"},
      {"a dot step", "/./app.js"},
      {"an empty step", "//app.js"},
      {"a backslash", "/sub\\..\\app.js"},
      {"a NUL", "/app.js%00.png"},
      {"a link out of the site", "/link.txt"},
      {"the database", "/office.db"},
  };
  for (const auto& row : rows) {
    const RawAnswer a = Get(row.target, browser);
    EXPECT_EQ(a.status, 404) << row.what << "\n" << a.head;
    EXPECT_NE(a.body.find("\"error\""), std::string::npos) << row.what << ": " << a.body;
    EXPECT_EQ(a.body.find("root:"), std::string::npos) << row.what;
    EXPECT_EQ(HeaderOf(a.head, "Content-Encoding"), "") << row.what;
  }
  // The folder's own page is there, with its slash.
  EXPECT_EQ(Get("/sub/", browser).status, 200);
}

}  // namespace
}  // namespace office
