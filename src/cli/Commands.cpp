#include "cli/Commands.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <CLI/CLI.hpp>

#include "app/ConfigFile.h"
#include "cli/Operations.h"
#include "config/Utf8.h"

namespace {

// A failure that ends the command with `status` and one line on stderr.
struct Failure {
  int status;
  std::string message;
};

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

// Standard output, for the outputs that are text.
constexpr char kStandardOutput[] = "-";

void SaveFile(CliEnvironment& env, const std::string& path, const Image& image) {
  if (path == kStandardOutput)
    throw Failure{ExitInvalid, "-: a configuration file is written to a file, not to standard output"};
  FileError why = FileError::None;
  if (!SaveConfigFile(env.files, Path16(path), image.data(), &why))
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

std::uint32_t FileCrc(CliEnvironment& env, const std::string& path) {
  std::uint8_t bytes[kConfigFileSize];
  if (env.files.ReadExactly(Path16(path), bytes, sizeof bytes) != IFileSystem::ReadOutcome::Done)
    return 0;
  return std::uint32_t(bytes[8]) | std::uint32_t(bytes[9]) << 8 | std::uint32_t(bytes[10]) << 16 |
         std::uint32_t(bytes[11]) << 24;
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
    return "no alarm found (USB vendor 04D8, product E0E7); is it plugged in, and may you open it?";
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
};

int Show(CliEnvironment& env, const Options& o) {
  const Image image = LoadFile(env, o.file);
  int page = -1;
  if (!o.page.empty()) {
    page = FindPage(o.page);
    if (page < 0)
      throw Failure{ExitInvalid, "--page " + o.page + ": no such page (1-23 or a page key)"};
  }
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
  info.crc = FileCrc(env, o.file);
  SaveText(env, o.output, ReportHtml(image, info));
  return ExitDone;
}

int Diff(CliEnvironment& env, const Options& o) {
  const Image a = LoadSource(env, o.file, o.emulated);
  const Image b = LoadSource(env, o.file2, o.emulated);
  const Difference d = Compare(a, b);
  for (const FieldDifference& f : d.fields)
    env.out << ToUtf8(PageLabel(f.field.page)) << " | " << ToUtf8(FieldLabel(f.field)) << " ("
            << f.field.Key() << ") | " << ToUtf8(f.a) << " | " << ToUtf8(f.b) << '\n';
  if (!d.otherBytes.empty())
    env.out << d.otherBytes.size() << (d.otherBytes.size() == 1 ? " byte" : " bytes")
            << " that no field shows differ: " << DescribeOffsets(d.otherBytes) << '\n';
  return d.Equal() ? ExitDone : ExitDifferent;
}

int Export(CliEnvironment& env, const Options& o) {
  const std::string text = ExportJson(LoadFile(env, o.file)).dump(2) + "\n";
  SaveText(env, o.output.empty() ? kStandardOutput : o.output, text);
  return ExitDone;
}

int Import(CliEnvironment& env, const Options& o) {
  std::vector<std::uint8_t> text;
  switch (env.files.ReadUpTo(Path16(o.file), kMaxJsonBytes, text)) {
    case IFileSystem::ReadOutcome::Done:
      break;
    case IFileSystem::ReadOutcome::WrongSize:
      throw Failure{ExitInvalid, Shown(o.file) + ": too large for a configuration: more than " +
                                     std::to_string(kMaxJsonBytes) +
                                     " bytes are not read; nothing was written"};
    case IFileSystem::ReadOutcome::Failed:
      throw Failure{ExitInvalid, Shown(o.file) + ": cannot be read" + Why(env.files.LastError())};
  }
  Json document;
  std::string error;
  if (!ParseImportJson(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                       document, error))
    throw Failure{ExitInvalid, Shown(o.file) + ": " + error + "; nothing was written"};
  if (!o.output.empty()) Path16(o.output);  // a name refused before anything is read
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
  return ExitDone;
}

int Read(CliEnvironment& env, const Options& o) {
  const Image image = LoadSource(env, "device", o.emulated);
  SaveFile(env, o.output, image);
  return ExitDone;
}

int Write(CliEnvironment& env, const Options& o) {
  const Image file = LoadFile(env, o.file);
  Device device(env, o.emulated);
  Image written;
  std::vector<int> mismatched;
  const DeviceOutcome outcome = device.session().Write(file, !o.noVerify, written, mismatched);
  device.Check(outcome);
  if (outcome == DeviceOutcome::Mismatch)
    throw Failure{ExitDevice, "verify failed: " + std::to_string(mismatched.size()) +
                                  " bytes read back differently, at " +
                                  DescribeOffsets(mismatched)};
  env.out << (o.noVerify ? "written\n" : "written and verified\n");
  return ExitDone;
}

int Info(CliEnvironment& env, const Options& o) {
  Device device(env, o.emulated);
  if (!device.session().Present()) throw Failure{ExitDevice, Device::NoDeviceMessage()};
  env.out << "an alarm is attached" << (o.emulated ? " (emulated)" : "") << '\n';
  return ExitDone;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  CLI::App app{"Shows, compares, exports, imports, reads and writes configurations of the "
               "alarm (.osr files).",
               "ostrel-cli"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "ostrel-cli " OSTREL_VERSION, "print the version and exit");
  Options o;
  auto emulated = [&](CLI::App* c) {
    c->add_flag("--emulated", o.emulated,
                "use the emulated alarm with the demonstration configuration instead of USB");
  };

  CLI::App* show = app.add_subcommand("show", "print the configuration page by page");
  show->add_option("FILE", o.file, "configuration file")->required();
  show->add_option("--page", o.page, "only this page: its number (1-23) or key (phone3)");
  show->add_flag("--json", o.json, "print JSON");

  CLI::App* report = app.add_subcommand("report", "write a printable HTML page");
  report->add_option("FILE", o.file, "configuration file")->required();
  report->add_option("-o,--output", o.output, "the HTML file (- for standard output)")->required();

  CLI::App* diff = app.add_subcommand(
      "diff", "compare two configurations field by field; exit status 1 when they differ");
  diff->add_option("A", o.file, "a file, or \"device\" (./device is a file of that name)")
      ->required();
  diff->add_option("B", o.file2, "a file, or \"device\"")->required();
  emulated(diff);

  CLI::App* exp = app.add_subcommand("export", "write the configuration as JSON");
  exp->add_option("FILE", o.file, "configuration file")->required();
  exp->add_option("-o,--output", o.output, "the JSON file (default, or -: standard output)");

  CLI::App* imp = app.add_subcommand("import", "build a configuration file from JSON");
  imp->add_option("IN", o.file, "the JSON file")->required();
  imp->add_option("-o,--output", o.output, "the configuration file to write")->required();
  imp->add_option("--base", o.base,
                  "configuration whose values the fields left out keep (default: the "
                  "initial values)");

  CLI::App* set = app.add_subcommand("set", "change fields of a file in place");
  set->footer(
      "The file is locked while it is read, changed and saved. When another program holds it "
      "(another set of the same file), set waits up to 10 seconds for it to finish, then "
      "fails with exit status 2 and leaves the file unchanged.");
  set->add_option("FILE", o.file, "configuration file")->required();
  set->add_option("ASSIGNMENTS", o.assignments, "KEY=VALUE, e.g. input2.entry_delay=10")
      ->required();

  CLI::App* read = app.add_subcommand("read", "read the configuration from the alarm");
  read->add_option("-o,--output", o.output, "the configuration file to write")->required();
  emulated(read);

  CLI::App* write = app.add_subcommand(
      "write", "write a configuration to the alarm, then read it back and compare");
  write->add_option("FILE", o.file, "configuration file")->required();
  write->add_flag("--no-verify", o.noVerify, "do not read back and compare");
  emulated(write);

  CLI::App* info = app.add_subcommand("info", "say whether an alarm is attached");
  emulated(info);

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, env.out, env.err);
    return code == 0 ? ExitDone : ExitInvalid;
  }

  try {
    if (show->parsed()) return Show(env, o);
    if (report->parsed()) return Report(env, o);
    if (diff->parsed()) return Diff(env, o);
    if (exp->parsed()) return Export(env, o);
    if (imp->parsed()) return Import(env, o);
    if (set->parsed()) return Set(env, o);
    if (read->parsed()) return Read(env, o);
    if (write->parsed()) return Write(env, o);
    if (info->parsed()) return Info(env, o);
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
