#include "cli/Commands.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <CLI/CLI.hpp>

#include "app/ConfigFile.h"
#include "app/Record.h"
#include "cli/Operations.h"
#include "config/Utf8.h"
#ifdef OSTREL_SITES
#include "cli/SiteCommands.h"
#else
class SiteCommands;
#endif

namespace {

using Failure = CliFailure;

// A file name as messages show it.
std::string Shown(const std::string& path) { return Printable(path, std::string::npos); }

// Every file name of every command goes through here: a name that is not
// UTF-8 is refused alike everywhere, since no file of such a name can be
// opened through the file layer.
std::u16string Path16(const std::string& path) {
  std::optional<std::u16string> p = FromUtf8(path);
  if (!p) throw Failure{ExitInvalid, "the file name is not UTF-8: " + Shown(path)};
  return *p;
}

std::filesystem::path FsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// ": no permission" where the reason is known.
std::string Why(FileError error) {
  const std::string text = FileErrorText(error);
  return text.empty() ? "" : ": " + text;
}

Image LoadFile(CliEnvironment& env, const std::string& path) {
  Image image(kImageSize);
  LoadDetail detail;
  switch (LoadConfigFile(env.files, Path16(path), image.data(), &detail)) {
    case Loaded:
      return image;
    case BadFormat:
      if (detail.version != 0)
        throw Failure{ExitInvalid,
                      Shown(path) + ": not a configuration file this program can read: it has " +
                          (detail.version > kConfigFileVersion ? "the newer" : "the older") +
                          " format version " + std::to_string(detail.version) +
                          ", this program reads version " + std::to_string(kConfigFileVersion)};
      throw Failure{ExitInvalid, Shown(path) + ": not a configuration file"};
    case Corrupt:
      throw Failure{ExitInvalid, Shown(path) + ": damaged (its CRC does not match its contents)"};
    default:
      throw Failure{ExitInvalid, Shown(path) + ": cannot be read" + Why(detail.error)};
  }
}

std::string WaitText(int ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// Standard output, for every output, and standard input, for import's.
constexpr char kStandardOutput[] = "-";
constexpr char kStandardInput[] = "-";

// Whether `path` is standard output or a target that is written to as it
// is (a pipe, a terminal, a device, an open file of the process): nothing
// reads such a target back, and what the command says goes to stderr.
bool StreamTarget(CliEnvironment& env, const std::string& path) {
  if (path == kStandardOutput) return true;
  const std::optional<std::u16string> name = FromUtf8(path);
  return name && env.files.Inspect(env.files.SaveTarget(*name)) == IFileSystem::TargetState::Stream;
}

// Writes a configuration file ("-": standard output); a pipe, a terminal or
// a device is written to as it is.
void SaveFile(CliEnvironment& env, const std::string& path, const Image& image) {
  if (path == kStandardOutput) {
    const auto bytes = ConfigFileBytes(image.data());
    env.out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    env.out.flush();
    if (!env.out) throw Failure{ExitInvalid, "-: standard output cannot be written"};
    return;
  }
  FileError why = FileError::None;
  if (!SaveConfigFile(env.files, Path16(path), image.data(), &why, true))
    throw Failure{ExitInvalid, Shown(path) + ": cannot be written" + Why(why)};
}

// Writes a text file through the one save of every file ("-": standard
// output), so that a failure leaves an existing file as it was.
void SaveText(CliEnvironment& env, const std::string& path, const std::string& text) {
  if (path == kStandardOutput) {
    env.out << text << std::flush;
    return;
  }
  const FileError why =
      SaveFileBytes(env.files, Path16(path), reinterpret_cast<const std::uint8_t*>(text.data()),
                    text.size(), true);
  if (why != FileError::None) throw Failure{ExitInvalid, Shown(path) + ": cannot be written" + Why(why)};
}

std::string FileDate(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(FsPath(path), error);
  if (error) return "";
  const std::time_t t = std::chrono::system_clock::to_time_t(
      std::chrono::file_clock::to_sys(time));
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  std::ostringstream out;
  out << std::put_time(&local, "%Y-%m-%d %H:%M");
  return out.str();
}

void Fail(const std::vector<std::string>& errors, const std::string& what) {
  // Every broken value on a line of its own, up to a screenful; the last
  // line also says what was not done.
  constexpr std::size_t kShown = 20;
  std::string message;
  for (std::size_t i = 0; i < errors.size() && i < kShown; ++i)
    message += (message.empty() ? "" : "\n") + errors[i];
  if (errors.size() > kShown) message += "\nand " + std::to_string(errors.size() - kShown) + " more";
  throw Failure{ExitInvalid, message + " (" + what + ")"};
}

// A device session over the platform's access or the emulated alarm.
class Device {
 public:
  Device(CliEnvironment& env, bool emulated)
      : env_(env), access_(env.devices(emulated)), session_(access_->Hid(), Bar()) {}
  ~Device() { EndBar(); }

  DeviceSession& session() { return session_; }

  void Check(DeviceOutcome outcome) {
    EndBar();
    switch (outcome) {
      case DeviceOutcome::Done:
      case DeviceOutcome::Mismatch:
        return;
      case DeviceOutcome::NoDevice:
        throw Failure{ExitDevice, NoDeviceMessage()};
      case DeviceOutcome::Failed:
        throw Failure{ExitDevice, "the transfer failed while " + session_.failedStep() +
                                      "; the device did not answer as expected"};
    }
  }
  static std::string NoDeviceMessage() {
    return "no alarm found (USB vendor 04D8, product E0E7).\n"
           "Is it plugged in? Plug its USB cable in and try again."
#ifndef _WIN32
           "\nIf it is plugged in, this user may have no permission to open it. The Debian\n"
           "package installs the rule that allows it; built from source, install the rule\n"
           "with\n"
           "  sudo install -m 644 packaging/70-ostrel.rules /etc/udev/rules.d/ &&\n"
           "  sudo udevadm control --reload-rules && sudo udevadm trigger\n"
           "and plug the alarm in again."
#endif
        ;
  }

 private:
  DeviceSession::Progress Bar() {
    if (!env_.errIsTerminal) return nullptr;
    return [this](const char* step, int position, int end) {
      if (bar_ && step != step_) env_.err << '\n';  // each step keeps its finished bar
      step_ = step;
      const int width = 30;
      const int filled = end > 0 ? std::min(width, position * width / end) : 0;
      env_.err << '\r' << std::left << std::setw(10) << step << " ["
               << std::string(filled, '#') << std::string(width - filled, ' ') << "] "
               << std::right << std::setw(3) << (end > 0 ? position * 100 / end : 0) << '%'
               << std::flush;
      bar_ = true;
    };
  }
  void EndBar() {
    if (bar_) env_.err << '\n';
    bar_ = false;
  }

  CliEnvironment& env_;
  std::unique_ptr<DeviceAccess> access_;
  DeviceSession session_;
  bool bar_ = false;
  std::string step_;
};

// "device" or a file.
Image LoadSource(CliEnvironment& env, const std::string& source, bool emulated) {
  if (source != "device") return LoadFile(env, source);
  Device device(env, emulated);
  Image image;
  device.Check(device.session().Read(image));
  return image;
}

struct Options {
  std::string file, file2, output, base, page;
  std::vector<std::string> assignments;
  bool json = false, emulated = false, noVerify = false;
  std::string customer, site, installer;
  bool showPassword = false;
};

// The page of --page or of keys' PAGE; -1 for every page.
int PageOption(const std::string& page, const std::string& what) {
  if (page.empty()) return -1;
  const int p = FindPage(page);
  if (p < 0)
    throw Failure{ExitInvalid, what + Printable(page, 40) +
                                   ": no such page (1-23 or a page key; ostrel-cli keys lists them)"};
  return p;
}

int Show(CliEnvironment& env, const Options& o) {
  const Image image = LoadFile(env, o.file);
  const int page = PageOption(o.page, "--page ");
  if (o.json)
    env.out << ShowJson(image, page).dump(2) << '\n';
  else
    RenderShow(image, page, env.out);
  return ExitDone;
}

int Report(CliEnvironment& env, const Options& o) {
  const Image image = LoadFile(env, o.file);
  ReportInfo info;
  const std::u8string name = FsPath(o.file).filename().u8string();
  info.fileName.assign(name.begin(), name.end());
  info.date = FileDate(o.file);
  info.customer = o.customer;
  info.site = o.site;
  info.installer = o.installer;
  info.showPassword = o.showPassword;
  SaveText(env, o.output, ReportHtml(image.data(), info));
  return ExitDone;
}

int Keys(CliEnvironment& env, const Options& o) {
  RenderKeys(PageOption(o.page, ""), env.out);
  return ExitDone;
}

int Diff(CliEnvironment& env, const Options& o) {
  const Image a = LoadSource(env, o.file, o.emulated);
  const Image b = LoadSource(env, o.file2, o.emulated);
  const Difference d = Compare(a, b);
  RenderDifference(d, env.out);
  return d.Equal() ? ExitDone : ExitDifferent;
}

int Export(CliEnvironment& env, const Options& o) {
  const std::string text = ExportJson(LoadFile(env, o.file)).dump(2) + "\n";
  SaveText(env, o.output.empty() ? kStandardOutput : o.output, text);
  return ExitDone;
}

// Standard input, read whole up to `limit` bytes; WrongSize when it holds
// more.
IFileSystem::ReadOutcome ReadStandardInput(CliEnvironment& env, std::size_t limit,
                                           std::vector<std::uint8_t>& out) {
  out.clear();
  if (!env.in) return IFileSystem::ReadOutcome::Failed;
  char buffer[65536];
  while (*env.in) {
    env.in->read(buffer, sizeof buffer);
    out.insert(out.end(), buffer, buffer + env.in->gcount());
    if (out.size() > limit) {
      out.clear();
      return IFileSystem::ReadOutcome::WrongSize;
    }
  }
  return env.in->bad() ? IFileSystem::ReadOutcome::Failed : IFileSystem::ReadOutcome::Done;
}

int Import(CliEnvironment& env, const Options& o) {
  std::vector<std::uint8_t> text;
  const IFileSystem::ReadOutcome read =
      o.file == kStandardInput ? ReadStandardInput(env, kMaxJsonBytes, text)
                               : env.files.ReadUpTo(Path16(o.file), kMaxJsonBytes, text);
  switch (read) {
    case IFileSystem::ReadOutcome::Done:
      break;
    case IFileSystem::ReadOutcome::WrongSize:
      throw Failure{ExitInvalid, Shown(o.file) + ": too large for a configuration: more than " +
                                     std::to_string(kMaxJsonBytes) +
                                     " bytes are not read; nothing was written"};
    case IFileSystem::ReadOutcome::Failed:
      throw Failure{ExitInvalid, Shown(o.file) + ": cannot be read" +
                                     (o.file == kStandardInput ? "" : Why(env.files.LastError()))};
  }
  Json document;
  std::string error;
  if (!ParseImportJson(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                       document, error))
    throw Failure{ExitInvalid, Shown(o.file) + ": " + error + "; nothing was written"};
  if (o.output != kStandardOutput) Path16(o.output);  // a name refused before anything is read
  const Image base = o.base.empty() ? InitialImage() : LoadFile(env, o.base);
  Image image;
  std::vector<std::string> errors;
  if (!ImportJson(document, base, image, errors)) Fail(errors, "nothing was written");
  SaveFile(env, o.output, image);
  return ExitDone;
}

int Set(CliEnvironment& env, const Options& o) {
  // Read, changed and saved again under the file's lock: two sets of one
  // file run one after the other, and neither change is lost.
  const std::unique_ptr<IFileSystem::Lock> lock =
      env.files.LockForChange(Path16(o.file), env.lockWaitMs);
  if (!lock)
    throw Failure{ExitInvalid, Shown(o.file) + ": cannot be written" + Why(FileError::Busy) +
                                   "; waited " + WaitText(env.lockWaitMs) + " for it; it was not changed"};
  const Image base = LoadFile(env, o.file);
  FieldValues values;
  for (const std::string& a : o.assignments) {
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos || eq == 0)
      throw Failure{ExitInvalid, "\"" + Printable(a) + "\": KEY=VALUE expected"};
    values.emplace_back(a.substr(0, eq), Json(a.substr(eq + 1)));
  }
  Image image;
  std::vector<std::string> errors;
  if (!ApplyValues(base, values, nullptr, image, errors)) Fail(errors, Shown(o.file) + " was not changed");
  SaveFile(env, o.file, image);
  // What was stored otherwise than given (a phone number's separators).
  for (const auto& [key, value] : values) {
    const std::string note = CleaningNote(key, value.get<std::string>());
    if (!note.empty()) env.out << note << '\n';
  }
  return ExitDone;
}

// Whether `read` or `write` records into a site (--site).
bool Recording(SiteCommands* sites) {
#ifdef OSTREL_SITES
  return sites && sites->Recording();
#else
  (void)sites;
  return false;
#endif
}

// A file the command needs and was not given, where the registry's
// --site could have stood for it.
Failure Missing(const std::string& what, [[maybe_unused]] const std::string& siteInstead) {
#ifdef OSTREL_SITES
  return Failure{ExitInvalid, what + " is required (or " + siteInstead + ")"};
#else
  return Failure{ExitInvalid, what + " is required"};
#endif
}

int Read(CliEnvironment& env, const Options& o, SiteCommands* sites) {
  const bool recording = Recording(sites);
  if (o.output.empty() && !recording)
    throw Missing("read: -o FILE", "--site NUMBER");
  if (!o.output.empty() && o.output != kStandardOutput) Path16(o.output);  // refused before the alarm is read
  const bool stream = !o.output.empty() && StreamTarget(env, o.output);
#ifdef OSTREL_SITES
  if (recording) sites->Prepare();  // the registry and the site, before the alarm
#endif
  const Image image = LoadSource(env, "device", o.emulated);
#ifdef OSTREL_SITES
  if (o.output.empty()) {
    env.out << sites->RecordRead(image, o.emulated) << '\n';
    return ExitDone;
  }
#endif
  SaveFile(env, o.output, image);
  // A file is read back and compared with what the alarm gave; what was
  // written to a stream cannot be read back, and what is said of it goes to
  // stderr, away from the configuration.
  if (!stream) {
    Image back(kImageSize);
    if (LoadConfigFile(env.files, Path16(o.output), back.data()) != Loaded || back != image)
      throw Failure{ExitInvalid, Shown(o.output) + ": written, but it does not read back as the "
                                                   "alarm's configuration"};
  }
  (stream ? env.err : env.out) << "read " << image.size() << " bytes from the alarm"
                               << (o.emulated ? " (emulated)" : "") << "; wrote "
                               << Shown(o.output) << " (" << kConfigFileSize << " bytes)"
                               << (stream ? "" : ", read back and checked") << '\n';
#ifdef OSTREL_SITES
  if (recording) (stream ? env.err : env.out) << sites->RecordRead(image, o.emulated) << '\n';
#endif
  return ExitDone;
}

int Write(CliEnvironment& env, const Options& o, SiteCommands* sites) {
  const bool recording = Recording(sites);
  if (o.file.empty() && !recording)
    throw Missing("write: FILE", "--site NUMBER, which writes the site's head");
  Image file;
  std::string name = Shown(o.file);
#ifdef OSTREL_SITES
  if (recording) {
    sites->Prepare();  // the registry and the site, before the alarm
    if (o.file.empty()) {
      file = sites->HeadImage();
      name = "the head of the site";
    }
  }
#endif
  if (!o.file.empty()) file = LoadFile(env, o.file);
  Device device(env, o.emulated);
  // What the alarm held just before the write, for the site's history.
  Image before;
  if (recording) device.Check(device.session().Read(before));
  Image written;
  std::vector<int> mismatched;
  const DeviceOutcome outcome = device.session().Write(file, !o.noVerify, written, mismatched);
  device.Check(outcome);
  if (outcome == DeviceOutcome::Mismatch)
    throw Failure{ExitDevice, "verify failed: " + std::to_string(mismatched.size()) +
                                  " bytes read back differently, at " +
                                  DescribeOffsets(mismatched)};
  env.out << "wrote " << name << " to the alarm" << (o.emulated ? " (emulated)" : "")
          << ": " << written.size() << " bytes; "
          << (o.noVerify ? "not verified (--no-verify)"
                         : "verified: read back, every byte as written")
          << '\n';
#ifdef OSTREL_SITES
  if (recording) env.out << sites->RecordWrite(before, written, o.emulated) << '\n';
#endif
  return ExitDone;
}

int Info(CliEnvironment& env, const Options& o) {
  Device device(env, o.emulated);
  if (!device.session().Present()) throw Failure{ExitDevice, Device::NoDeviceMessage()};
  env.out << "an alarm is attached" << (o.emulated ? " (emulated)" : "") << '\n';
  return ExitDone;
}

// The options of the program that take a value, which may stand before
// the command.
bool TakesValue(const std::string& option) {
  return option == "--registry" || option == "--server";
}

// The command: the first argument that is not an option nor an option's
// value; a file called "show" given to another command names nothing.
std::string CommandWord(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (TakesValue(args[i]))
      ++i;
    else if (!args[i].empty() && args[i][0] != '-')
      return args[i];
  }
  return "";
}

// The argument parser's complaint in the program's words, every argument
// the user gave shown escaped.
std::string UsageError(const CLI::ParseError& e, const CLI::App& app,
                       const std::vector<std::string>& args) {
  // Without a command: what stood where the command belongs.
  if (app.get_subcommands().empty()) {
    if (args.empty()) return "a command is required";
    const std::string& first = args.front();
    if (first.starts_with("-")) return "unknown option " + Printable(first, 40);
    return Printable(first, 40) + ": no such command";
  }
  std::string message = e.what();
  // The arguments left over are listed in the order the parser took them
  // (the last first): put back in the order given.
  const std::string extras = "were not expected: ";
  if (const std::size_t at = message.find(extras); at != std::string::npos) {
    std::vector<std::string> words;
    std::istringstream list(message.substr(at + extras.size()));
    for (std::string word; list >> word;) words.insert(words.begin(), word);
    message.resize(at + extras.size());
    for (std::size_t i = 0; i < words.size(); ++i) message += (i ? " " : "") + words[i];
  }
  return Printable(message, 200);
}

}  // namespace

bool UsesSiteCommands(const std::vector<std::string>& args) {
  // The commands that have nothing of the registry; read and write have
  // its --site.
  static constexpr std::string_view kPlain[] = {"show", "report", "keys", "diff",
                                                "export", "import", "set", "info"};
  const bool named = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a.starts_with("--registry") || a.starts_with("--server");
  });
  if (named) return true;
  if (args.size() == 1 && args[0] == "--version") return false;
  const std::string command = CommandWord(args);
  return std::find(std::begin(kPlain), std::end(kPlain), command) == std::end(kPlain);
}

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  CLI::App app{"Shows, compares, exports, imports, reads and writes configurations of the "
               "alarm (.osr files).",
               "ostrel-cli"};
  app.require_subcommand(1);
  app.footer(
      "Fields are named by keys such as input2.entry_delay, pages by keys such as phone3 "
      "or by their numbers 1-23: \"ostrel-cli keys\" lists every key with its label, kind and "
      "range, \"ostrel-cli keys PAGE\" those of one page.\n\n"
      "Exit status: 0 done; 1 the configurations differ (diff); 2 bad usage or invalid "
      "input; 3 no alarm, or a failed or unverified transfer.");
  // The help flag is made once for the program and once for the subcommand
  // named, not for every subcommand (see below).
  constexpr const char* kHelpFlag = "-h,--help";
  constexpr const char* kHelpText = "Print this help message and exit";
  app.set_help_flag();
  Options o;
  // Every subcommand is there for the parse and the help, but only the one
  // the arguments name gets its options: defining the options of all of
  // them would be most of the program's start-up.
  const std::string command = CommandWord(args);
  auto Named = [&](CLI::App* c) {
    if (c->get_name() != command) return false;
    c->set_help_flag(kHelpFlag, kHelpText);
    return true;
  };
  auto emulated = [&](CLI::App* c) {
    c->add_flag("--emulated", o.emulated,
                "use the emulated alarm with the demonstration configuration instead of USB");
  };

  CLI::App* show = app.add_subcommand("show", "print the configuration page by page");
  if (Named(show)) {
    show->add_option("FILE", o.file, "configuration file")->required();
    show->add_option("--page", o.page, "only this page: its number (1-23) or key (phone3)");
    show->add_flag("--json", o.json, "print JSON");
  }

  CLI::App* report = app.add_subcommand(
      "report", "write the customer's printable record of a configuration (HTML, A4)");
  if (Named(report)) {
    report->add_option("FILE", o.file, "configuration file")->required();
    report->add_option("-o,--output", o.output, "the HTML file (- for standard output)")->required();
    report->add_option("--customer", o.customer, "the customer's name (else a blank to fill in)");
    report->add_option("--site", o.site, "the site's address or name (else a blank)");
    report->add_option("--installer", o.installer, "the installer's name (else a blank)");
    report->add_flag("--show-password", o.showPassword,
                     "print the password's digits (by default they are masked)");
  }

  CLI::App* keys = app.add_subcommand(
      "keys", "list the page keys and every field key with its label, kind and range");
  if (Named(keys)) {
    keys->add_option("PAGE", o.page, "only this page: its number (1-23) or key (phone3)");
  }

  CLI::App* diff = app.add_subcommand(
      "diff", "compare two configurations field by field; exit status 1 when they differ");
  if (Named(diff)) {
    diff->add_option("A", o.file, "a file, or \"device\" (./device is a file of that name)")
        ->required();
    diff->add_option("B", o.file2, "a file, or \"device\"")->required();
    emulated(diff);
  }

  CLI::App* exp = app.add_subcommand("export", "write the configuration as JSON");
  if (Named(exp)) {
    exp->add_option("FILE", o.file, "configuration file")->required();
    exp->add_option("-o,--output", o.output, "the JSON file (default, or -: standard output)");
  }

  CLI::App* imp = app.add_subcommand("import", "build a configuration file from JSON");
  if (Named(imp)) {
    imp->add_option("IN", o.file, "the JSON file (- for standard input)")->required();
    imp->add_option("-o,--output", o.output,
                    "the configuration file to write (- for standard output)")
        ->required();
    imp->add_option("--base", o.base,
                    "configuration whose values the fields left out keep (default: the "
                    "initial values)");
  }

  CLI::App* set = app.add_subcommand("set", "change fields of a file in place");
  if (Named(set)) {
    set->footer(
        "The file is locked while it is read, changed and saved. When another program holds it "
        "(another set of the same file), set waits up to 10 seconds for it to finish, then "
        "fails with exit status 2 and leaves the file unchanged.");
    set->add_option("FILE", o.file, "configuration file")->required();
    set->add_option("ASSIGNMENTS", o.assignments,
                    "KEY=VALUE, e.g. input2.entry_delay=10; values as people write them: "
                    "yes/no (or да/нет, true/false), 4,5 or 4.5, phone numbers with spaces, "
                    "brackets and dashes (taken out, and said so)")
        ->required();
  }

  CLI::App* read = app.add_subcommand("read", "read the configuration from the alarm");
  if (Named(read)) {
    read->add_option("-o,--output", o.output,
                     "the configuration file to write (- for standard output)");
    emulated(read);
  }

  CLI::App* write = app.add_subcommand(
      "write", "write a configuration to the alarm, then read it back and compare");
  if (Named(write)) {
    write->add_option("FILE", o.file, "configuration file");
    write->add_flag("--no-verify", o.noVerify, "do not read back and compare");
    emulated(write);
  }

  CLI::App* info = app.add_subcommand("info", "say whether an alarm is attached");
  if (Named(info)) {
    emulated(info);
  }

  app.set_help_flag(kHelpFlag, kHelpText);
  app.set_version_flag("--version",
                       "ostrel-cli " OSTREL_VERSION "\n"
                       "Copyright (c) 2026 Ostrel configurator developers\n"
                       "Free software under the MIT License: the file LICENSE that comes with the\n"
                       "program holds its terms. There is NO WARRANTY, to the extent permitted by law.",
                       "print the version and the licence and exit");

#ifdef OSTREL_SITES
  // The registry's commands and options, when the arguments may use them.
  std::optional<SiteCommands> siteCommands;
  SiteCommands* sites = nullptr;
  if (UsesSiteCommands(args)) {
    siteCommands.emplace(app, env);
    siteCommands->AddRecordingOptions(read);
    siteCommands->AddRecordingOptions(write);
    sites = &*siteCommands;
  }
#else
  SiteCommands* sites = nullptr;
  app.footer(app.get_footer() +
             "\n\nThe sites registry's commands (site, find, read --site, write --site) are not "
             "in this build: on Windows, reach the sites through the office in the browser.");
#endif

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {  // --help, --version
      app.exit(e, env.out, env.err);
      return ExitDone;
    }
    env.err << "ostrel-cli: " << UsageError(e, app, args) << "\n"
            << "ostrel-cli: \"ostrel-cli --help\" lists the commands, \"ostrel-cli COMMAND --help\" "
               "tells what a command takes\n";
    return ExitInvalid;
  }

  try {
    if (show->parsed()) return Show(env, o);
    if (report->parsed()) return Report(env, o);
    if (keys->parsed()) return Keys(env, o);
    if (diff->parsed()) return Diff(env, o);
    if (exp->parsed()) return Export(env, o);
    if (imp->parsed()) return Import(env, o);
    if (set->parsed()) return Set(env, o);
    if (read->parsed()) return Read(env, o, sites);
    if (write->parsed()) return Write(env, o, sites);
    if (info->parsed()) return Info(env, o);
#ifdef OSTREL_SITES
    if (sites)
      if (const std::optional<int> status = sites->Run()) return *status;
#endif
  } catch (const Failure& f) {
    std::istringstream lines(f.message);
    for (std::string line; std::getline(lines, line);) env.err << "ostrel-cli: " << line << '\n';
    return f.status;
  } catch (const std::exception& e) {
    env.err << "ostrel-cli: " << e.what() << '\n';
    return ExitInvalid;
  }
  return ExitInvalid;
}

std::vector<std::uint8_t> LoadConfiguration(CliEnvironment& env, const std::string& path) {
  return LoadFile(env, path);
}

void SaveConfiguration(CliEnvironment& env, const std::string& path,
                       const std::vector<std::uint8_t>& image) {
  SaveFile(env, path, image);
}

void SaveTextOutput(CliEnvironment& env, const std::string& path, const std::string& text) {
  SaveText(env, path, text);
}
