// The rendering commands and the device commands of the command-line
// program, the latter against the emulated alarm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>

#include "cli/CliTestSupport.h"
#include "cli/Operations.h"
#include "config/ImageMap.h"
#include "config/StringTable.h"
#include "config/Utf8.h"
#include "device/HidTap.h"
#include "device/Protocol.h"

namespace {

// The one place where the rendering of `show` is pinned. After a deliberate
// change, OSTREL_UPDATE_GOLDEN=1 writes the file anew.
TEST(CliShow, DemoConfigurationMatchesTheGoldenFile) {
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  const CliRun r = RunCommand({"show", dir / "demo.osr"});
  ASSERT_EQ(r.status, ExitDone) << r.err;
  const std::string golden = OSTREL_CLI_GOLDEN_DIR "/demo-show.txt";
  if (std::getenv("OSTREL_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << r.out;
  EXPECT_EQ(r.out, ReadText(golden));
}

TEST(CliShow, OnePageByNumberOrKeyAndAsJson) {
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  const CliRun byNumber = RunCommand({"show", dir / "demo.osr", "--page", "7"});
  const CliRun byKey = RunCommand({"show", dir / "demo.osr", "--page", "phone1"});
  EXPECT_EQ(byNumber.status, ExitDone);
  EXPECT_EQ(byNumber.out, byKey.out);
  EXPECT_EQ(byNumber.out.rfind(ToUtf8(PageLabel(6)), 0), 0u) << byNumber.out;
  const CliRun json = RunCommand({"show", dir / "demo.osr", "--page", "phone1", "--json"});
  const Json pages = Json::parse(json.out);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0]["key"], "phone1");
  ConfigModel model;
  model.Load(DemoImage());
  for (const Json& field : pages[0]["fields"])
    EXPECT_EQ(field["value"], ToUtf8(model.Shown(*FindField(field["key"]))));
  EXPECT_EQ(RunCommand({"show", dir / "demo.osr", "--page", "24"}).status, ExitInvalid);
}

// Tags nest and close, entities are complete; true when the text is
// well-formed in that sense.
bool WellFormed(const std::string& html, std::string& why) {
  static const std::regex tag(R"(<(/?)([a-zA-Z0-9]+)[^>]*?(/?)>|<!DOCTYPE html>|&([a-z]+);|[<>&])");
  std::vector<std::string> open;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), tag); it != std::sregex_iterator();
       ++it) {
    const std::smatch& m = *it;
    const std::string all = m[0];
    if (all == "<!DOCTYPE html>") continue;
    if (all == "<" || all == ">" || all == "&") {
      why = "bare " + all + " at " + std::to_string(m.position());
      return false;
    }
    if (m[4].matched) {
      const std::string e = m[4];
      if (e != "amp" && e != "lt" && e != "gt" && e != "quot") {
        why = "entity " + e;
        return false;
      }
      continue;
    }
    const std::string name = m[2];
    if (m[3] == "/") continue;  // self-closed
    if (m[1] == "/") {
      if (open.empty() || open.back() != name) {
        why = "</" + name + "> closes " + (open.empty() ? "nothing" : open.back());
        return false;
      }
      open.pop_back();
    } else {
      open.push_back(name);
    }
  }
  if (!open.empty()) why = "<" + open.back() + "> is never closed";
  return open.empty();
}

TEST(CliReport, IsWellFormedHtmlWithEveryPageAndNoScript) {
  ScratchFolder dir;
  Image image = DemoImage();
  // A text with characters that HTML must escape.
  std::vector<std::string> errors;
  const FieldValues values = {{"input1.alarm_text", Json("<A & B> \"1\"")}};
  ASSERT_TRUE(ApplyValues(image, values, nullptr, image, errors));
  WriteImage(dir / "demo.osr", image);
  const CliRun r = RunCommand({"report", dir / "demo.osr", "-o", dir / "demo.html"});
  ASSERT_EQ(r.status, ExitDone) << r.err;
  const std::string html = ReadText(dir / "demo.html");
  std::string why;
  EXPECT_TRUE(WellFormed(html, why)) << why;
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;A &amp; B&gt; &quot;1&quot;"), std::string::npos);
  EXPECT_NE(html.find("demo.osr"), std::string::npos);
  for (int p = 0; p < kPageCount; ++p)
    EXPECT_NE(html.find("<h2>" + ToUtf8(PageLabel(p)) + "</h2>"), std::string::npos) << p;
}

TEST(CliReport, HeadHasTheGivenPartiesAndThePasswordIsMaskedUnlessAsked) {
  ScratchFolder dir;
  Image image = DemoImage();
  std::vector<std::string> errors;
  const FieldValues values = {{"security.password", Json("4711")},
                              {"phone1.relay1_on", Json(true)},
                              {"phone1.relay2_on", Json(false)},
                              {"phone1.relay3_on", Json(true)},
                              {"phone1.relay4_on", Json(false)},
                              {"phone1.relay5_on", Json(false)},
                              {"phone1.relay6_on", Json(false)}};
  ASSERT_TRUE(ApplyValues(image, values, nullptr, image, errors));
  WriteImage(dir / "demo.osr", image);
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> present, absent;
  };
  const Case cases[] = {
      {{}, {"<th>Заказчик</th><td></td>", "<th>Объект</th><td></td>", "<th>Монтажник</th><td></td>",
            "<td class=\"value\">****</td>", "<td class=\"value\">РЕЛЕ: 1, 3</td>",
            "<th>Файл</th><td>demo.osr</td>"},
       {"4711"}},
      {{"--customer", "ООО <Ромашка>", "--site", "ул. Ленина, 1", "--installer", "Петров"},
       {"<td>ООО &lt;Ромашка&gt;</td>", "<td>ул. Ленина, 1</td>", "<td>Петров</td>"},
       {"4711", "<Ромашка>"}},
      {{"--show-password"}, {"<td class=\"value\">4711</td>"}, {"****"}},
      // Terminal escapes and bytes that are not text are shown escaped.
      {{"--customer", "\x1b[2J\x1b]0;x\x07", "--site", "A\xff" "B", "--installer", "a\tb"},
       {"<td>\\x1B[2J\\x1B]0;x\\x07</td>", "<td>A\\xFFB</td>", "<td>a\\tb</td>"},
       {"\x1b", "\x07", "\xff", "\t"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"report", dir / "demo.osr", "-o", "-"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliRun r = RunCommand(args);
    ASSERT_EQ(r.status, ExitDone) << r.err;
    for (const std::string& text : c.present) EXPECT_NE(r.out.find(text), std::string::npos) << text;
    for (const std::string& text : c.absent) EXPECT_EQ(r.out.find(text), std::string::npos) << text;
  }
}

// Printed by a browser, the demonstration configuration's record takes at
// most four A4 pages.
TEST(CliReport, DemoRecordPrintsOnAtMostFourA4Pages) {
  ScratchFolder dir;
  WriteImage(dir / "demo.osr", DemoImage());
  ASSERT_EQ(RunCommand({"report", dir / "demo.osr", "-o", dir / "demo.html", "--customer",
                        "Иванов Иван Иванович", "--site", "Московская обл., д. Берёзки, ул. Садовая, 12",
                        "--installer", "Петров"})
                .status,
            ExitDone);
  const std::string command = "chromium --headless --no-sandbox --disable-gpu --no-pdf-header-footer "
                              "--print-to-pdf=" + dir / "demo.pdf" + " " + dir / "demo.html" +
                              " >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string pdf = ReadText(dir / "demo.pdf");
  // Each page is an object of type /Page (the page tree is /Pages).
  int pages = 0;
  for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1))
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  EXPECT_GE(pages, 1);
  EXPECT_LE(pages, 4);
}

TEST(CliKeys, ListEveryFieldKeyOnceWithItsKindAndRange) {
  const CliRun all = RunCommand({"keys"});
  ASSERT_EQ(all.status, ExitDone) << all.err;
  std::multiset<std::string> listed;
  std::set<std::string> pages;
  std::istringstream lines(all.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string key, kind;
    words >> key >> kind;
    if (line.rfind("  ", 0) != 0) {
      pages.insert(key);
      continue;
    }
    listed.insert(key);
    EXPECT_TRUE(kind == "number" || kind == "decimal" || kind == "yes/no" || kind == "list" ||
                kind == "text")
        << line;
    EXPECT_NE(line.find(FindField(key)->Kind().Allowed(FindField(key)->Row())), std::string::npos)
        << line;
  }
  std::multiset<std::string> expected;
  for (const FieldRef& f : AllFields()) expected.insert(f.Key());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(pages.size(), static_cast<std::size_t>(kPageCount));
  EXPECT_TRUE(pages.count("phone3"));
  // One page, by key or by number, and what a unit is listed with.
  const CliRun phone = RunCommand({"keys", "phone3"});
  EXPECT_EQ(phone.out, RunCommand({"keys", "9"}).out);
  EXPECT_NE(phone.out.find("phone3.number"), std::string::npos);
  EXPECT_EQ(phone.out.find("phone2."), std::string::npos);
  EXPECT_NE(RunCommand({"keys", "input1_1"}).out.find("from 0 to 59, in сек."), std::string::npos);
  EXPECT_EQ(RunCommand({"keys", "24"}).status, ExitInvalid);
  // The help says where the keys are and what the exit statuses mean.
  const CliRun help = RunCommand({"--help"});
  EXPECT_EQ(help.status, ExitDone);
  for (const char* text : {"ostrel-cli keys", "Exit status: 0 done", "3 no alarm"})
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

TEST(CliSet, ValuesAsPeopleWriteThemAndWhatTheCleaningTookOut) {
  struct Case {
    const char* assignment;
    const char* key;
    std::string stored;  // as show prints it
    const char* note;    // a part of the line said, or "" for none
    // The file's input 1 alarm text ends at a byte the encoder cannot
    // reproduce, so that it is written back as loaded until it is edited.
    bool mendedText = false;
  };
  const Case cases[] = {
      {"phone2.number=8 (916) 123-45-67", "phone2.number", "89161234567",
       "phone2.number: \"8 (916) 123-45-67\" is stored as \"89161234567\" (taken out: \" \" \"(\" \")\" \"-\")"},
      {"phone3.number=+7 916 1234567", "phone3.number", "+79161234567", "(taken out: \" \")"},
      {"phone4.number=+79161234567", "phone4.number", "+79161234567", ""},
      {"input1.upper_threshold=4,5", "input1.upper_threshold", "4.5", ""},
      {"connection.listen_after_alarm=no", "connection.listen_after_alarm", "нет", ""},
      {"connection.listen_after_alarm=Yes", "connection.listen_after_alarm", "да", ""},
      {"input2.24_hour=нет", "input2.24_hour", "нет", ""},
      // Capitals of every Cyrillic letter of both words.
      {"input2.24_hour=ДА", "input2.24_hour", "да", ""},
      {"input3.24_hour=НЕТ", "input3.24_hour", "нет", ""},
      {"input1.relay1_on=Да", "input1.relay1_on", "да", ""},
      {"input1.relay1_on=нЕт", "input1.relay1_on", "нет", ""},
      {"input1.alarm_text=Дверь (вход)", "input1.alarm_text", "Дверь (вход)", ""},
      {"input1.alarm_text=Окно", "input1.alarm_text", "Окно", "", true},
  };
  ScratchFolder dir;
  for (const Case& c : cases) {
    Image base = DemoImage();
    if (c.mendedText) base[InAlarmText(1) + 4] = 0x80;
    WriteImage(dir / "a.osr", base);
    const CliRun r = RunCommand({"set", dir / "a.osr", c.assignment});
    ASSERT_EQ(r.status, ExitDone) << c.assignment << ": " << r.err;
    ConfigModel model;
    model.Load(ReadImage(dir / "a.osr"));
    EXPECT_EQ(ToUtf8(model.Shown(*FindField(c.key))), c.stored) << c.assignment;
    if (*c.note) {
      EXPECT_NE(r.out.find(c.note), std::string::npos) << c.assignment << ": " << r.out;
    } else {
      EXPECT_EQ(r.out, "") << c.assignment;
    }
  }
}

TEST(CliDevice, ReadGivesTheDemoFile) {
  ScratchFolder dir;
  EmulatedMachine machine;
  const CliRun r = RunCommand({"read", "--emulated", "-o", dir / "read.osr"}, &machine);
  ASSERT_EQ(r.status, ExitDone) << r.err;
  EXPECT_EQ(ReadImage(dir / "read.osr"), DemoImage());
  // The program's own emulated alarm holds the same.
  ASSERT_EQ(RunCommand({"read", "--emulated", "-o", dir / "own.osr"}).status, ExitDone);
  EXPECT_EQ(ReadText(dir / "own.osr"), ReadText(dir / "read.osr"));
}

// A byte of the parameter area that no page owns.
int UnownedParamByte() {
  const Image demo = DemoImage();
  for (int i = 0; i < static_cast<int>(kParamAreaSize); ++i) {
    Image other = demo;
    other[i] ^= 0x5A;
    const Difference d = Compare(demo, other);
    if (d.fields.empty() && d.otherBytes == std::vector<int>{i}) return i;
  }
  return -1;
}

TEST(CliDevice, WriteThenReadGivesTheWrittenPagesOverTheDevicesOwnBytes) {
  ScratchFolder dir;
  EmulatedMachine machine;
  Image file = DemoImage();
  std::vector<std::string> errors;
  const FieldValues values = {
      {"input1.entry_delay", Json(42)},
      {"phone2.number", Json("+70001112233")},
      {"relay3.mode", Json(ToUtf8(FindString(FindField("relay3.mode")->Row().list->strings[1])))}};
  ASSERT_TRUE(ApplyValues(file, values, nullptr, file, errors));
  const int unowned = UnownedParamByte();
  ASSERT_GE(unowned, 0);
  file[unowned] ^= 0x5A;  // the device's own byte must win
  file[2100] ^= 0x5A;     // a record byte comes from the file
  WriteImage(dir / "in.osr", file);
  const CliRun w = RunCommand({"write", "--emulated", dir / "in.osr"}, &machine);
  ASSERT_EQ(w.status, ExitDone) << w.err;
  ASSERT_EQ(RunCommand({"read", "--emulated", "-o", dir / "back.osr"}, &machine).status, ExitDone);
  const Image back = ReadImage(dir / "back.osr");
  Image expected = file;
  expected[unowned] = DemoImage()[unowned];
  EXPECT_EQ(back, expected) << DescribeOffsets(Compare(back, expected).otherBytes);
}

// Passes the device's reports through, but turns the first parameter write
// that would change something into one that changes nothing: the device
// acknowledges a write it never made.
struct DroppingHid {
  DroppingHid(IHidEnumerator& inner, EmulatedDevice& device)
      : tap(inner, [this, &device](std::uint8_t* report) {
          if (dropped || report[5] != WriteParam) return;
          const int address = report[6] | report[7] << 8, length = report[8];
          std::uint8_t* memory = device.paramMemory() + address;
          if (std::memcmp(report + 9, memory, length) != 0) {
            std::memcpy(report + 9, memory, length);
            dropped = true;
          }
        }) {}
  bool dropped = false;
  HidTap tap;
};

TEST(CliDevice, VerifyFailsWithStatusThreeWhenTheAlarmDropsOneWrite) {
  ScratchFolder dir;
  EmulatedMachine machine;
  DroppingHid dropping(machine.bus, machine.device);
  machine.hid = &dropping.tap;
  Image file = DemoImage();
  std::vector<std::string> errors;
  const FieldValues values = {{"input1.entry_delay", Json(42)}};
  ASSERT_TRUE(ApplyValues(file, values, nullptr, file, errors));
  WriteImage(dir / "in.osr", file);
  const CliRun unchecked = RunCommand({"write", "--emulated", "--no-verify", dir / "in.osr"}, &machine);
  EXPECT_EQ(unchecked.status, ExitDone);
  EXPECT_TRUE(dropping.dropped);
  dropping.dropped = false;
  const CliRun w = RunCommand({"write", "--emulated", dir / "in.osr"}, &machine);
  EXPECT_TRUE(dropping.dropped);
  EXPECT_EQ(w.status, ExitDevice);
  EXPECT_NE(w.err.find("verify failed"), std::string::npos) << w.err;
}

TEST(CliDevice, NoDeviceGivesStatusThreeAndSaysSo) {
  ScratchFolder dir;
  EmulatedMachine empty(false);
  WriteImage(dir / "in.osr", DemoImage());
  const std::vector<std::vector<std::string>> commands = {
      {"info"},
      {"read", "-o", dir / "out.osr"},
      {"write", dir / "in.osr"},
      {"diff", dir / "in.osr", "device"},
  };
  for (const auto& args : commands) {
    const CliRun r = RunCommand(args, &empty);
    EXPECT_EQ(r.status, ExitDevice) << args[0];
    // The likely causes in plain words, and on Linux the rule's commands.
    for (const char* text : {"no alarm found", "plugged in", "no permission", "udevadm trigger"})
      EXPECT_NE(r.err.find(text), std::string::npos) << args[0] << ": " << r.err;
    EXPECT_EQ(r.out, "") << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.osr"));
  EmulatedMachine attached;
  EXPECT_EQ(RunCommand({"info"}, &attached).status, ExitDone);
  EXPECT_EQ(RunCommand({"diff", dir / "in.osr", "device"}, &attached).status, ExitDone);
}

TEST(CliDevice, ReadAndWriteSayWhatTheyDid) {
  ScratchFolder dir;
  WriteImage(dir / "in.osr", DemoImage());
  WriteImage(dir / "old.osr", InitialImage());
  const std::string size = std::to_string(kImageSize);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"read", "--emulated", "-o", dir / "new.osr"},
       "read " + size + " bytes from the alarm (emulated); wrote " + dir / "new.osr" +
           " (2316 bytes), read back and checked\n"},
      // An existing file is replaced through the one save.
      {{"read", "--emulated", "-o", dir / "old.osr"},
       "read " + size + " bytes from the alarm (emulated); wrote " + dir / "old.osr" +
           " (2316 bytes), read back and checked\n"},
      {{"write", "--emulated", dir / "in.osr"},
       "wrote " + dir / "in.osr" + " to the alarm (emulated): " + size +
           " bytes; verified: read back, every byte as written\n"},
      {{"write", "--emulated", "--no-verify", dir / "in.osr"},
       "wrote " + dir / "in.osr" + " to the alarm (emulated): " + size +
           " bytes; not verified (--no-verify)\n"},
  };
  for (const auto& [args, said] : cases) {
    const CliRun r = RunCommand(args);
    EXPECT_EQ(r.status, ExitDone) << args[0] << ": " << r.err;
    EXPECT_EQ(r.out, said);
  }
  EXPECT_EQ(ReadImage(dir / "old.osr"), DemoImage());
}

// A bar per step on a terminal, each ending full; nothing otherwise.
TEST(CliDevice, ProgressBarOnlyOnATerminal) {
  ScratchFolder dir;
  WriteImage(dir / "in.osr", DemoImage());
  const CliRun write = RunCommand({"write", "--emulated", dir / "in.osr"}, nullptr, true);
  ASSERT_EQ(write.status, ExitDone);
  for (const char* step : {"writing", "verifying"}) {
    const std::size_t at = write.err.rfind(step);
    ASSERT_NE(at, std::string::npos) << write.err;
    const std::string last = write.err.substr(at, write.err.find('\n', at) - at);
    EXPECT_TRUE(last.ends_with("] 100%")) << step << ": " << write.err;
  }
  EXPECT_EQ(RunCommand({"write", "--emulated", dir / "in.osr"}).err, "");
  EXPECT_EQ(RunCommand({"read", "--emulated", "-o", dir / "out.osr"}).err, "");
}

// The README lists the commands exactly as --help does (the Windows
// read-me takes them from --help when it is packed).
TEST(CliUsage, TheReadmeListsTheCommandsAsHelpDoes) {
  const std::string help = RunCommand({"--help"}).out;
  const std::size_t start = help.find("Subcommands:\n");
  ASSERT_NE(start, std::string::npos) << help;
  const std::size_t from = start + std::string("Subcommands:\n").size();
  const std::string listed = help.substr(from, help.find("\n\n", from) + 1 - from);
  const std::string readme = ReadText(OSTREL_CLI_GOLDEN_DIR "/../../../README.md");
  const std::string lead = "as `ostrel-cli --help` lists them:\n\n```\n";
  const std::size_t at = readme.find(lead);
  ASSERT_NE(at, std::string::npos);
  const std::size_t block = at + lead.size();
  EXPECT_EQ(readme.substr(block, readme.find("```", block) - block), listed);
  // The first file command makes its file.
  const std::size_t first = readme.find("ostrel-cli ", readme.find("```sh", block));
  EXPECT_EQ(readme.compare(first, 40, "ostrel-cli read --emulated -o alarm.osr "), 0);
}

TEST(CliUsage, BadUsageExitsTwoAndHelpZero) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{}, {"frobnicate"}, {"show"}, {"diff", "a"},
                                             {"show", "/nonexistent/file.osr"}})
    EXPECT_EQ(RunCommand(args).status, ExitInvalid) << (args.empty() ? "" : args[0]);
  for (const char* command : {"show", "report", "diff", "export", "import", "set", "read",
                              "write", "info"}) {
    const CliRun r = RunCommand({command, "--help"});
    EXPECT_EQ(r.status, ExitDone) << command;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << command;
  }
}

}  // namespace

// The program built without the site commands runs a line itself only
// when the one built with them would make none: a line that may name a
// site, a registry or an office is handed over.
TEST(CliUsage, LinesThatMayUseTheSiteCommandsAreHandedOver) {
  const struct {
    std::vector<std::string> args;
    bool handedOver;
  } rows[] = {
      {{"--version"}, false},
      {{"show", "a.osr"}, false},
      {{"set", "a.osr", "input2.entry_delay=10"}, false},
      {{"report", "a.osr", "--site", "Тверская 1", "-o", "-"}, false},
      {{"diff", "a.osr", "device", "--emulated"}, false},
      {{"info"}, false},
      {{"show", "site"}, false},        // a file called "site"
      {{"keys", "--help"}, false},
      {{}, true},                       // the help lists the site commands
      {{"--help"}, true},
      {{"--version", "show"}, false},
      {{"site", "list"}, true},
      {{"find", "phone1.number=+79990001122"}, true},
      {{"read", "--emulated", "-o", "a.osr"}, true},  // read and write have --site
      {{"write", "a.osr"}, true},
      {{"login", "ivan"}, true},
      {{"logout"}, true},
      {{"--registry", "show", "site", "list"}, true},  // a registry file called "show"
      {{"--server", "show", "find", "a=b"}, true},
      {{"show", "a.osr", "--registry=r.db"}, true},
      {{"--server=https://office:8443", "site", "list"}, true},
      {{"frobnicate"}, true},  // the full program's own message
  };
  for (const auto& row : rows) {
    std::string line;
    for (const std::string& a : row.args) line += a + ' ';
    EXPECT_EQ(UsesSiteCommands(row.args), row.handedOver) << line;
  }
}
