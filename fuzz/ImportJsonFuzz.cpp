// The JSON import against any text: the parse and the import refuse it or
// build an image, never crash or recurse without bound; every message is
// one line of printable text of bounded length; and an image that an
// import built comes back byte for byte through its own export and an
// import of that (export -> import is the identity).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "cli/Operations.h"

namespace {

void CheckMessage(const std::string& message) {
  FUZZ_CHECK(!message.empty());
  FUZZ_CHECK(message.size() < 2000);
  for (char c : message) FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Image initial = InitialImage();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Json document;
  std::string error;
  if (!ParseImportJson(text, document, error)) {
    CheckMessage(error);
    return 0;
  }
  Image image;
  std::vector<std::string> errors;
  if (!ImportJson(document, initial, image, errors)) {
    FUZZ_CHECK(!errors.empty());
    for (const std::string& e : errors) CheckMessage(e);
    return 0;
  }
  FUZZ_CHECK(errors.empty() && image.size() == kImageSize);
  const std::string exported = ExportJson(image).dump(2);
  Json again;
  FUZZ_CHECK(ParseImportJson(exported, again, error));
  Image back;
  FUZZ_CHECK(ImportJson(again, initial, back, errors));
  FUZZ_CHECK(back == image);
  return 0;
}
