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
#include "sites/Base64.h"

namespace office {

std::vector<Endpoint> SitesEndpoints();

// The images in the API's JSON are base64.
using ::DecodeBase64;
using ::EncodeBase64;

}  // namespace office
