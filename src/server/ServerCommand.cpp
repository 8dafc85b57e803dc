#include "server/ServerCommand.h"

#include <CLI/CLI.hpp>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <sstream>

#include "server/Certificate.h"
#include "server/Crypto.h"
#include "server/HttpServer.h"
#include "server/OfficeStore.h"
#include "server/SitesApi.h"

namespace office {

namespace {

constexpr int kExitDone = 0, kExitInvalid = 2, kExitRefused = 3;

struct Failure {
  int code;
  std::string message;
};

std::mutex serving_mutex;
HttpServer* serving = nullptr;

std::string DefaultDataFolder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return std::string(xdg) + "/ostrel/office";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.local/share/ostrel/office";
}

std::string ShellUser() {
  const passwd* pw = getpwuid(getuid());
  return std::string("shell:") + (pw ? pw->pw_name : std::to_string(getuid()));
}

// The first line of a file, without its line end.
std::string PasswordFromFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure{kExitInvalid, path + ": cannot be read"};
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string AskPassword(ServerEnvironment& env, const std::string& prompt, bool twice) {
  if (!env.terminal)
    throw Failure{kExitInvalid, "no password given: give --password-file F (or run this on a terminal)"};
  auto ask = [&](const std::string& text) {
    env.err << text << std::flush;
    termios old{};
    const bool tty = tcgetattr(0, &old) == 0;
    if (tty) {
      termios quiet = old;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(0, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(env.in, line);
    if (tty) tcsetattr(0, TCSANOW, &old);
    env.err << '\n';
    return line;
  };
  const std::string first = ask(prompt);
  if (twice && ask("The same password again: ") != first)
    throw Failure{kExitInvalid, "the two passwords differ; nothing was changed"};
  return first;
}

std::string PasswordOf(ServerEnvironment& env, const std::string& file, const std::string& prompt) {
  const std::string password = file.empty() ? AskPassword(env, prompt, true) : PasswordFromFile(file);
  if (const std::string why = PasswordProblem(password); !why.empty()) throw Failure{kExitInvalid, why};
  return password;
}

std::string CsvCell(const std::string& text) {
  std::string cell = text;
  // A cell a spreadsheet would take for a formula is written as text.
  if (!cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos) cell = "'" + cell;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string quoted = "\"";
  for (char c : cell) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

struct StoreOptions {
  std::string data;
  std::string database;
};

void PrepareDataFolder(const std::string& data) {
  std::error_code ec;
  std::filesystem::create_directories(data, ec);
  if (ec) throw Failure{kExitRefused, data + ": the data folder cannot be made (" + ec.message() + ")"};
  ::chmod(data.c_str(), 0700);
}

OfficeStore OpenStore(const StoreOptions& o) {
  if (o.database.empty() || !IsDatabaseUrl(o.database)) PrepareDataFolder(o.data);
  try {
    return OfficeStore(o.database.empty() ? o.data + "/office.db" : o.database);
  } catch (const std::exception& e) {
    throw Failure{kExitRefused, std::string("the office's database cannot be opened: ") + e.what()};
  }
}

int Serve(const StoreOptions& store_options, int port, const std::string& cert, const std::string& key,
          const std::string& admin_file, const std::string& site, const std::string& host,
          ServerEnvironment& env) {
  if (cert.empty() != key.empty()) throw Failure{kExitInvalid, "--cert and --key go together"};
  OfficeStore store = OpenStore(store_options);
  {
    auto db = store.Pool().Get();
    Office office(*db, OfficePolicy{});
    if (!office.HasOperators()) {
      env.err << "No operator yet: the first admin is \"admin\".\n";
      const std::string password = PasswordOf(env, admin_file, "The first admin's password: ");
      try {
        office.AddOperator("admin", Role::Admin, password, ShellUser(), "local", NowMs());
        env.err << "The admin \"admin\" was added.\n";
      } catch (const OfficeError& e) {
        // Another server on the same database, started at the same time,
        // added the first admin meanwhile: that one stands.
        if (e.kind() != OfficeError::Exists) throw Failure{kExitInvalid, e.what()};
        env.err << "The admin \"admin\" was added meanwhile by another server on this database; "
                   "its password stands.\n";
      }
    }
  }
  CertificateFiles files{cert, key, false};
  char name[256] = "localhost";
  gethostname(name, sizeof name - 1);
  if (cert.empty()) {
    try {
      files = EnsureSelfSigned(store_options.data + "/tls", name);
    } catch (const std::exception& e) {
      PrepareDataFolder(store_options.data + "/tls");
      try {
        files = EnsureSelfSigned(store_options.data + "/tls", name);
      } catch (const std::exception& again) {
        throw Failure{kExitRefused, again.what()};
      }
    }
  }
  std::string fingerprint;
  try {
    fingerprint = FingerprintOfFile(files.cert);
  } catch (const std::exception& e) {
    throw Failure{kExitInvalid, e.what()};
  }
  Api::Options api_options;
  api_options.endpoints = SitesEndpoints();
  api_options.serialize_writes = store.IsSqlite();
  Api api(store.Pool(), std::move(api_options));
  HttpOptions http;
  http.host = host;
  http.port = port;
  http.cert = files.cert;
  http.key = files.key;
  http.site = site;
  HttpServer server(api, http);
  std::string error;
  if (!server.Bind(error)) throw Failure{kExitRefused, error};
  env.out << "The office serves https://localhost:" << server.Port() << "/ (" << store.Backend() << ")\n"
          << "Certificate " << (files.made ? "made now: " : "") << files.cert << "\n"
          << "Its SHA-256 fingerprint: " << fingerprint << "\n"
          << "Log in as an operator (the first is \"admin\"); ostrel-cli: "
          << "ostrel-cli --server https://localhost:" << server.Port() << " login admin\n"
          << std::flush;
  {
    std::lock_guard<std::mutex> lock(serving_mutex);
    serving = &server;
  }
  server.Run();
  {
    std::lock_guard<std::mutex> lock(serving_mutex);
    serving = nullptr;
  }
  return kExitDone;
}

void Refused(const OfficeError& e) {
  throw Failure{e.kind() == OfficeError::Invalid ? kExitInvalid : kExitRefused, e.what()};
}

}  // namespace

void StopServing() {
  std::lock_guard<std::mutex> lock(serving_mutex);
  if (serving) serving->Stop();
}

int RunServerCommand(const std::vector<std::string>& args, ServerEnvironment& env) {
  CLI::App app{"ostrel-server: the office of the alarm configurator, its sites registry with operators "
               "and their rights, on HTTPS"};
  app.name("ostrel-server");
  StoreOptions store{DefaultDataFolder(), ""};
  int port = 8443;
  std::string cert, key, admin_file, site, host = "0.0.0.0";
  app.add_option("--data", store.data, "the data folder (database, certificate)");
  app.add_option("--database", store.database,
                 "postgresql://... for PostgreSQL; default: SQLite in the data folder");
  app.add_option("--port", port, "the HTTPS port")->check(CLI::Range(0, 65535));
  app.add_option("--host", host, "the address to listen on");
  app.add_option("--cert", cert, "the certificate (PEM); default: a self-signed one in the data folder");
  app.add_option("--key", key, "the certificate's key (PEM)");
  app.add_option("--admin-password-file", admin_file,
                 "the first admin's password, on a first start (else it is asked on the terminal)");
  app.add_option("--site", site, "the browser configurator's folder to serve");

  CLI::App* user = app.add_subcommand("user", "manage the operators");
  user->require_subcommand(1);
  std::string name, role_name, password_file;
  CLI::App* add = user->add_subcommand("add", "add an operator");
  add->add_option("NAME", name)->required();
  add->add_option("--role", role_name, "viewer, installer or admin")->required();
  add->add_option("--password-file", password_file, "the password (else asked on the terminal)");
  CLI::App* passwd = user->add_subcommand("passwd", "set an operator's password");
  passwd->add_option("NAME", name)->required();
  passwd->add_option("--password-file", password_file, "the password (else asked on the terminal)");
  CLI::App* role = user->add_subcommand("role", "set an operator's role");
  role->add_option("NAME", name)->required();
  role->add_option("ROLE", role_name, "viewer, installer or admin")->required();
  CLI::App* disable = user->add_subcommand("disable", "disable an operator (ends their sessions)");
  disable->add_option("NAME", name)->required();
  CLI::App* enable = user->add_subcommand("enable", "enable a disabled operator");
  enable->add_option("NAME", name)->required();
  CLI::App* list = user->add_subcommand("list", "list the operators");

  CLI::App* audit = app.add_subcommand("audit", "print the audit log");
  std::string since;
  bool csv = false;
  audit->add_option("--since", since, "from this time on (2026-12-09 or 2026-12-09T22:00:00Z)");
  audit->add_flag("--csv", csv, "as CSV");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    env.out << app.help();
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    env.err << "ostrel-server: " << e.what() << "\n";
    return kExitInvalid;
  }

  // The database holds the operators' password hashes, the data folder
  // the certificate's key: readable by the server's user alone.
  umask(077);
  if (!InitCrypto()) {
    env.err << "ostrel-server: no source of randomness\n";
    return kExitRefused;
  }
  try {
    if (user->parsed()) {
      OfficeStore s = OpenStore(store);
      auto db = s.Pool().Get();
      Office office(*db, OfficePolicy{});
      const std::string who = ShellUser();
      const std::int64_t now = NowMs();
      try {
        if (add->parsed()) {
          const auto r = RoleFromName(role_name);
          if (!r) throw Failure{kExitInvalid, "the role must be viewer, installer or admin"};
          office.AddOperator(name, *r, PasswordOf(env, password_file, "Password for " + name + ": "), who,
                             "local", now);
          env.out << "Added " << name << " (" << RoleName(*r) << ").\n";
        } else if (passwd->parsed()) {
          if (!office.Find(name)) throw Failure{kExitRefused, "no operator \"" + name + "\""};
          office.SetPassword(name, PasswordOf(env, password_file, "New password for " + name + ": "), who,
                             "local", now);
          env.out << "The password of " << name << " was changed; their sessions ended.\n";
        } else if (role->parsed()) {
          const auto r = RoleFromName(role_name);
          if (!r) throw Failure{kExitInvalid, "the role must be viewer, installer or admin"};
          office.SetRole(name, *r, who, "local", now);
          env.out << name << " is now " << RoleName(*r) << ".\n";
        } else if (disable->parsed() || enable->parsed()) {
          office.SetDisabled(name, disable->parsed(), who, "local", now);
          env.out << name << (disable->parsed() ? " is disabled; their sessions ended.\n" : " is enabled.\n");
        } else if (list->parsed()) {
          for (const OperatorInfo& op : office.Operators())
            env.out << op.name << '\t' << RoleName(op.role) << (op.disabled ? "\tdisabled" : "") << '\n';
        }
      } catch (const OfficeError& e) {
        Refused(e);
      }
      return kExitDone;
    }
    if (audit->parsed()) {
      std::int64_t from = 0;
      if (!since.empty()) {
        const auto t = ParseIsoTime(since);
        if (!t) throw Failure{kExitInvalid, "--since takes a time such as 2026-12-09 or 2026-12-09T22:00:00Z"};
        from = *t;
      }
      OfficeStore s = OpenStore(store);
      auto db = s.Pool().Get();
      Office office(*db, OfficePolicy{});
      // The CSV keeps the action's and the detail's stored forms for
      // scripts and adds their texts as the last columns; the listing shows
      // the texts.
      if (csv) env.out << "at,who,from,action,subject,detail,action_text,detail_text\r\n";
      for (const AuditEntry& e : office.AuditSince(from)) {
        const std::string detail = AuditDetailText(e.action, e.detail);
        if (csv)
          env.out << CsvCell(IsoTime(e.at)) << ',' << CsvCell(e.who) << ',' << CsvCell(e.from) << ','
                  << CsvCell(e.action) << ',' << CsvCell(e.subject) << ',' << CsvCell(e.detail) << ','
                  << CsvCell(AuditActionText(e.action)) << ',' << CsvCell(detail)
                  << "\r\n";
        else
          env.out << IsoTime(e.at) << "  " << e.who << " (" << e.from << ")  " << AuditActionText(e.action)
                  << (e.subject.empty() ? "" : " " + e.subject) << (detail.empty() ? "" : " [" + detail + "]")
                  << '\n';
      }
      return kExitDone;
    }
    return Serve(store, port, cert, key, admin_file, site, host, env);
  } catch (const Failure& f) {
    env.err << "ostrel-server: " << f.message << "\n";
    return f.code;
  } catch (const DbError& e) {
    env.err << "ostrel-server: the database refused: " << e.what() << "\n";
    return kExitRefused;
  }
}

}  // namespace office
