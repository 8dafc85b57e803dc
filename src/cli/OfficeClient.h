// The command-line tool's connection to the office (ostrel-server): its
// address, its certificate pinned by fingerprint on the first login, the
// session kept in the user's config folder, and the API's requests over
// HTTPS.
//
// What is kept, per office, in $XDG_CONFIG_HOME/ostrel/offices/ (else
// ~/.config/ostrel/offices/), a folder for its owner alone:
//   HOST_PORT.certificate  the SHA-256 fingerprint of the certificate trusted
//   HOST_PORT.session      the session's token (mode 600); never printed
//
// Every refusal is a CliFailure: the office's message with the exit status
// for it (see OfficeExit).
#pragma once
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/ConfigModel.h"
#include "cli/SiteStore.h"

// The exit statuses of a command that talks to the office, beside
// ExitInvalid (2: what was given, a site or revision that is not there)
// and ExitDevice (3: the office refused it, or an operator without the
// right).
enum OfficeExit : int {
  ExitOffice = 4,   // the office cannot be reached, or its certificate is not the one trusted
  ExitSession = 5,  // not logged in at the office, or the session has ended
};

class OfficeClient {
 public:
  // `url`: "https://HOST[:PORT]" (a path of "/" alone may follow).
  OfficeClient(const std::string& url, CliEnvironment& env);
  ~OfficeClient();
  OfficeClient(const OfficeClient&) = delete;
  OfficeClient& operator=(const OfficeClient&) = delete;

  const std::string& Url() const { return url_; }

  // Logs in as `name`, with the password read from `passwordFile` (its
  // first line) or asked on the terminal without echo. A certificate not
  // trusted before is shown by its fingerprint and trusted on a "y" read
  // from standard input, or when it is `trust`. The line to print.
  std::string Login(const std::string& name, const std::string& passwordFile,
                    const std::string& trust);
  // Ends the session, at the office too. The line to print.
  std::string Logout();

  // One request of the API with the session: the answer's JSON (GET, and
  // POST or PATCH of `body`), or its bytes. `missing`: set to true instead
  // of a refusal when the office answers 404.
  Json Get(const std::string& target, bool* missing = nullptr);
  std::string GetBytes(const std::string& target);
  Json Send(const std::string& method, const std::string& target, const Json& body,
            int* status = nullptr);

 private:
  // The answer's body; refusals as failures, but 404 when `status` is
  // given (which gets the status).
  std::string Call(const std::string& method, const std::string& target, const std::string& body,
                   int* status);
  struct Connection;
  std::string url_, host_, key_;
  int port_ = 443;
  CliEnvironment& env_;
  std::unique_ptr<Connection> connection_;
};

// The sites at the office, through its API.
std::unique_ptr<SiteStore> MakeOfficeSites(OfficeClient& office);

// A text for a URL's query or path: everything but letters, digits and
// "-._~" as %XX.
std::string UrlEncoded(const std::string& text);
