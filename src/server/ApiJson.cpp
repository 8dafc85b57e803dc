#include "server/ApiJson.h"

#include <set>
#include <vector>

namespace office {

namespace {

// Builds the document from the parser's events, refusing depth beyond the
// limit and duplicate keys as they arrive (so a hostile body costs no more
// than its bytes).
class Builder {
 public:
  explicit Builder(Json& root) : root_(root) {}
  std::string error;

  bool null() { return Add(nullptr); }
  bool boolean(bool v) { return Add(v); }
  bool number_integer(Json::number_integer_t v) { return Add(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return Add(v); }
  bool number_float(Json::number_float_t v, const std::string&) { return Add(v); }
  bool string(Json::string_t& v) { return Add(std::move(v)); }
  bool binary(Json::binary_t&) { return Fail("binary values are not JSON"); }
  bool start_object(std::size_t) { return Open(Json::object()); }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(Json::array()); }
  bool end_array() { return Close(); }
  bool key(Json::string_t& k) {
    Frame& top = stack_.back();
    if (!top.keys.insert(k).second) return Fail("the key \"" + Shown(k) + "\" is given twice");
    key_ = std::move(k);
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
    if (error.empty()) error = "broken JSON at byte " + std::to_string(position);
    return false;
  }

 private:
  struct Frame {
    Json* value;
    std::set<std::string> keys;
  };

  static std::string Shown(const std::string& k) {
    std::string s;
    for (char c : k.substr(0, 40))
      s += (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') ? '?' : c;
    return k.size() > 40 ? s + "..." : s;
  }
  bool Fail(std::string why) {
    if (error.empty()) error = std::move(why);
    return false;
  }
  Json* Place(Json&& v) {
    if (stack_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    Json& parent = *stack_.back().value;
    if (parent.is_array()) {
      parent.push_back(std::move(v));
      return &parent.back();
    }
    Json& slot = parent[key_];
    slot = std::move(v);
    return &slot;
  }
  bool Add(Json&& v) {
    Place(std::move(v));
    return true;
  }
  bool Open(Json&& v) {
    if (stack_.size() >= kMaxJsonDepth)
      return Fail("nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    stack_.push_back({Place(std::move(v)), {}});
    return true;
  }
  bool Close() {
    stack_.pop_back();
    return true;
  }

  Json& root_;
  std::vector<Frame> stack_;
  std::string key_;
};

}  // namespace

bool ParseApiJson(std::string_view text, Json& document, std::string& error) {
  Json parsed;
  Builder builder(parsed);
  if (!Json::sax_parse(text.begin(), text.end(), &builder)) {
    error = builder.error.empty() ? "broken JSON" : builder.error;
    return false;
  }
  if (!parsed.is_object()) {
    error = "the body must be one JSON object";
    return false;
  }
  document = std::move(parsed);
  return true;
}

}  // namespace office
