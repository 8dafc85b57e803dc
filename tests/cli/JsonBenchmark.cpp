// How long the import's parse takes on large and hostile inputs: an export,
// an object of 200,000 keys (10 MB), and 10 MB of nested brackets. Prints
// the figures; the parse is meant to stay well under a second for any
// input the import reads.
#include <chrono>
#include <cstdio>
#include <string>

#include "cli/Operations.h"
#include "device/DemoConfiguration.h"

namespace {

using Clock = std::chrono::steady_clock;

// The JSON reader alone, building nothing: the floor under the parse, and a
// yardstick that grows alike with the machine's load.
struct Nothing : nlohmann::json_sax<Json> {
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
};

double Since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The parse, and the parse with the import's checks, the best of three runs each.
void Run(const char* what, const std::string& text) {
  bool parsed = false;
  std::string error;
  double parse = 1e9, import = 1e9, reader = 1e9;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    Nothing nothing;
    Json::sax_parse(text.begin(), text.end(), &nothing);
    reader = std::min(reader, Since(start));
    start = Clock::now();
    {
      Json document;
      parsed = ParseImportJson(text, document, error);
      parse = std::min(parse, Since(start));
      if (parsed) {
        Image image;
        std::vector<std::string> errors;
        ImportJson(document, InitialImage(), image, errors);
      }
    }
    import = std::min(import, Since(start));
  }
  std::printf("%-36s %9zu bytes  reader alone %6.1f ms  parse %6.1f ms  with import %6.1f ms  %s\n",
              what, text.size(), reader, parse, import,
              parsed ? "parsed" : ("refused: " + error.substr(0, 40)).c_str());
}

}  // namespace

int main() {
  Image demo(kImageSize);
  MakeDemoImage(demo.data());
  Run("the demonstration configuration's export", ExportJson(demo).dump(2));

  // 200,000 keys of about 50 bytes each under one page: 10 MB.
  std::string keys = R"({"format": "ostrel-configuration", "version": 1, "pages": {"input1_1": {)";
  for (int k = 0; k < 200000; ++k) {
    char key[64];
    std::snprintf(key, sizeof key, "%s\"key-%06d-padding-padding-padding\": %d", k ? ", " : "", k, k);
    keys += key;
  }
  keys += "}}}";
  Run("200,000 keys in one object", keys);

  std::string nested = R"({"format": "ostrel-configuration", "version": 1, "pages": )";
  nested += std::string(4000000, '[') + std::string(4000000, ']') + "}";
  Run("4,000,000 nested brackets", nested);
  return 0;
}
