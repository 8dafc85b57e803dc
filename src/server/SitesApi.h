// The sites registry's endpoints of the office's API: sites, their
// history, differences and searches for every operator; recording
// revisions and the alarm's password for installers; archiving for
// admins. The alarm's password is masked in every view a viewer has; an
// installer sees it through its own endpoint, the .osr file, the export and
// the diff, which the audit log notes.
#pragma once

#include <string>
#include <vector>

#include "server/Api.h"

namespace office {

std::vector<Endpoint> SitesEndpoints();

// base64 (standard alphabet, padding optional) to bytes; false when it is
// not base64.
bool DecodeBase64(const std::string& text, std::vector<std::uint8_t>& bytes);
std::string EncodeBase64(const std::vector<std::uint8_t>& bytes);

}  // namespace office
