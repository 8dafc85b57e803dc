// The JSON of the API's request bodies, read strictly: a bounded size and
// depth, one object at the top, and a key given twice refused instead of
// one of its values silently winning.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace office {

using Json = nlohmann::json;

constexpr std::size_t kMaxJsonDepth = 16;

// False with a one-line reason when `text` is not such a document.
bool ParseApiJson(std::string_view text, Json& document, std::string& error);

}  // namespace office
