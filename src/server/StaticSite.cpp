#include "server/StaticSite.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace office {

namespace fs = std::filesystem;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A qvalue: "0", "0.5", "1", "1.000"; nothing for anything else.
std::optional<double> QValue(std::string_view s) {
  if (s.empty() || s.size() > 5 || (s[0] != '0' && s[0] != '1')) return std::nullopt;
  if (s.size() > 1 && s[1] != '.') return std::nullopt;
  double value = s[0] - '0', scale = 0.1;
  for (std::size_t i = 2; i < s.size(); ++i, scale /= 10) {
    if (!std::isdigit(static_cast<unsigned char>(s[i])) || (s[0] == '1' && s[i] != '0')) return std::nullopt;
    value += (s[i] - '0') * scale;
  }
  return value;
}

// The q of each coding named in an Accept-Encoding; -1 where not named.
struct Weights {
  double br = -1, gzip = -1, any = -1;
};

Weights WeightsOf(std::string_view accept) {
  Weights w;
  while (!accept.empty()) {
    const std::size_t comma = accept.find(',');
    std::string_view item = accept.substr(0, comma);
    accept = comma == std::string_view::npos ? std::string_view{} : accept.substr(comma + 1);
    const std::size_t semicolon = item.find(';');
    const std::string name = Lower(Trim(item.substr(0, semicolon)));
    double q = 1;
    if (semicolon != std::string_view::npos) {
      std::string_view params = item.substr(semicolon + 1);
      bool valid = true;
      while (!params.empty()) {
        const std::size_t next = params.find(';');
        const std::string_view param = Trim(params.substr(0, next));
        params = next == std::string_view::npos ? std::string_view{} : params.substr(next + 1);
        if (param.size() >= 2 && (param[0] == 'q' || param[0] == 'Q') && param[1] == '=') {
          const std::optional<double> value = QValue(Trim(param.substr(2)));
          if (!value) valid = false;
          else q = *value;
        }
      }
      // A coding with a q that is not one says nothing the server could go by.
      if (!valid) continue;
    }
    if (name == "br") w.br = std::max(w.br, q);
    else if (name == "gzip" || name == "x-gzip") w.gzip = std::max(w.gzip, q);
    else if (name == "*") w.any = std::max(w.any, q);
  }
  return w;
}

constexpr std::array<std::pair<std::string_view, std::string_view>, 13> kTypes = {{
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".wasm", "application/wasm"},
    {".webmanifest", "application/manifest+json"},
    {".json", "application/json"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".bmp", "image/bmp"},
    {".ico", "image/x-icon"},
    {".txt", "text/plain; charset=utf-8"},
    {".osr", "application/octet-stream"},
}};

std::optional<fs::file_time_type> RegularFileTime(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  const fs::file_time_type time = fs::last_write_time(file, error);
  if (error) return std::nullopt;
  return time;
}

// A strong tag of one file's bytes as they are on disk: its size and its
// time of writing, and the coding, so that no two forms share a tag.
std::string EntityTag(const fs::path& file, fs::file_time_type time, const std::string& encoding) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  const auto ticks = static_cast<unsigned long long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count());
  char tag[64];
  std::snprintf(tag, sizeof tag, "\"%jx-%llx%s%s\"", error ? std::uintmax_t{0} : size, ticks,
                encoding.empty() ? "" : "-", encoding.c_str());
  return tag;
}

// Whether an If-None-Match names the tag (a weak comparison, as the field
// asks) or is "*".
bool NoneMatchHits(std::string_view field, std::string_view tag) {
  while (!field.empty()) {
    const std::size_t comma = field.find(',');
    std::string_view item = Trim(field.substr(0, comma));
    field = comma == std::string_view::npos ? std::string_view{} : field.substr(comma + 1);
    if (item == "*") return true;
    if (item.substr(0, 2) == "W/") item.remove_prefix(2);
    if (item == tag) return true;
  }
  return false;
}

}  // namespace

std::string ChooseEncoding(std::string_view accept_encoding, bool has_brotli, bool has_gzip) {
  const Weights w = WeightsOf(accept_encoding);
  const double br = has_brotli ? (w.br >= 0 ? w.br : w.any) : -1;
  const double gzip = has_gzip ? (w.gzip >= 0 ? w.gzip : w.any) : -1;
  if (br > 0 && br >= gzip) return "br";
  if (gzip > 0) return "gzip";
  return "";
}

std::string SiteContentType(std::string_view name) {
  const std::string lower = Lower(name);
  for (const auto& [extension, type] : kTypes)
    if (std::string_view(lower).ends_with(extension)) return std::string(type);
  return "application/octet-stream";
}

StaticSite::StaticSite(std::string folder) {
  std::error_code error;
  const fs::path canonical = fs::canonical(folder, error);
  folder_ = error ? std::move(folder) : canonical.string();
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

SiteAnswer StaticSite::Find(std::string_view path, std::string_view accept_encoding,
                            std::string_view if_none_match) const {
  SiteAnswer answer;
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string_view::npos ||
      path.find('\\') != std::string_view::npos)
    return answer;
  std::string relative(path.substr(1));
  if (relative.empty() || relative.back() == '/') relative += "index.html";
  // Every step a plain name: no "." or "..", no hidden file, no empty step.
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t slash = std::min(relative.find('/', start), relative.size());
    if (slash == start || relative[start] == '.') return answer;
    start = slash + 1;
  }
  // The build's compressed forms are sent only in place of their file.
  if (const std::string lower = Lower(relative); lower.ends_with(".br") || lower.ends_with(".gz")) return answer;

  const fs::path file = fs::path(folder_) / relative;
  const std::optional<fs::file_time_type> time = RegularFileTime(file);
  if (!time) return answer;
  // Nor anything a link inside the folder leads out to.
  std::error_code error;
  const std::string real = fs::canonical(file, error).string();
  if (error || real.compare(0, folder_.size() + 1, folder_ + "/") != 0) return answer;

  const auto has = [&](const char* suffix) { return RegularFileTime(file.string() + suffix).has_value(); };
  answer.encoding = ChooseEncoding(accept_encoding, has(".br"), has(".gz"));
  answer.file = file.string() + (answer.encoding == "br" ? ".br" : answer.encoding == "gzip" ? ".gz" : "");
  answer.content_type = SiteContentType(relative);
  const std::optional<fs::file_time_type> sent_time =
      answer.encoding.empty() ? time : RegularFileTime(answer.file);
  if (!sent_time) return answer;
  answer.etag = EntityTag(answer.file, *sent_time, answer.encoding);
  answer.status = NoneMatchHits(if_none_match, answer.etag) ? 304 : 200;
  return answer;
}

}  // namespace office
