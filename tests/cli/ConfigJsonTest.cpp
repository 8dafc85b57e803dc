// Export and import, set and diff of the command-line program, over the
// whole page table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "cli/CliTestSupport.h"
#include "cli/Operations.h"
#include "config/StringTable.h"
#include "config/Utf8.h"
#include "config/PageFields.h"

namespace {

Image RandomImage(std::mt19937& random, bool fromDemo) {
  Image image = fromDemo ? DemoImage() : Image(kImageSize);
  if (fromDemo) {
    // A few dozen bytes changed anywhere.
    for (int n = 0; n < 40; ++n) image[random() % kImageSize] = static_cast<std::uint8_t>(random());
  } else {
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
  }
  return image;
}

// A valid value for `field` other than `current` (as set would take it).
std::string OtherValue(const FieldRef& field, const std::u16string& current, std::mt19937& random) {
  const FieldRow& r = field.Row();
  for (;;) {
    std::string v;
    switch (r.kind) {
      case FieldKind::TwoDigits:
        v = std::to_string(r.min + static_cast<int>(random() % (r.max - r.min + 1)));
        break;
      case FieldKind::Bcd:
        v = std::to_string(random() % (r.max + 1));
        break;
      case FieldKind::OneDigit:
        v = std::to_string(random() % 10);
        break;
      case FieldKind::Tenths: {
        const int t = static_cast<int>(random() % 100);
        v = std::to_string(t / 10) + "." + std::to_string(t % 10);
        break;
      }
      case FieldKind::List:
      case FieldKind::OneHot:
        v = ToUtf8(FindString(r.list->strings[random() % r.list->strings.size()]));
        break;
      case FieldKind::Flag:
      case FieldKind::Marker:
        v = current == kBoxOn ? "false" : "true";
        break;
      case FieldKind::Phone:
        v = "+7" + std::to_string(100000 + random() % 900000);
        break;
      case FieldKind::Password:
        v = std::to_string(1000 + random() % 9000);  // four digits
        break;
      case FieldKind::RequestNumber:
        v = "*" + std::to_string(random() % 1000) + "#";
        break;
      default: {
        const std::u16string letters = u"Aa Zz09-Дверь";
        std::u16string text;
        const int length = 1 + static_cast<int>(random() % r.max);
        for (int i = 0; i < length; ++i) text += letters[random() % letters.size()];
        v = ToUtf8(text);
        break;
      }
    }
    ConfigModel model;
    std::string error;
    const auto holder = model.Parse(field, Json(v), error);
    if (!holder) ADD_FAILURE() << error;
    model.Assign(field, *holder);
    if (model.Shown(field) != current) return v;
  }
}

TEST(CliFields, KeysAreUniqueAndFindTheirFieldAndPage) {
  std::set<std::string> keys;
  for (const FieldRef& f : AllFields()) {
    EXPECT_TRUE(keys.insert(f.Key()).second) << f.Key();
    const auto found = FindField(f.Key());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->page, f.page);
    EXPECT_EQ(found->row, f.row);
    EXPECT_FALSE(FieldLabel(f).empty()) << f.Key();
  }
  for (int p = 0; p < kPageCount; ++p) {
    EXPECT_EQ(FindPage(PageKeyOf(p)), p);
    EXPECT_EQ(FindPage(std::to_string(p + 1)), p);
  }
  EXPECT_EQ(FindPage("0"), -1);
  EXPECT_EQ(FindPage("24"), -1);
  EXPECT_EQ(FindPage("phone9"), -1);
}

// Every file, random or close to a real one, exported and imported again
// gives back the same 2316 bytes.
TEST(CliExport, ImportOfAnExportGivesBackTheFile) {
  ScratchFolder dir;
  std::mt19937 random(20261208);
  for (int n = 0; n < 300; ++n) {
    const Image image = RandomImage(random, n % 2 == 1);
    WriteImage(dir / "a.osr", image);
    ASSERT_EQ(RunCommand({"export", dir / "a.osr", "-o", dir / "a.json"}).status, ExitDone);
    const CliRun import = RunCommand({"import", dir / "a.json", "-o", dir / "b.osr"});
    ASSERT_EQ(import.status, ExitDone) << n << ": " << import.err;
    const std::string a = ReadText(dir / "a.osr"), b = ReadText(dir / "b.osr");
    ASSERT_EQ(a.size(), kConfigFileSize);
    ASSERT_EQ(a, b) << "image " << n << " differs at "
                    << DescribeOffsets(Compare(ReadImage(dir / "b.osr"), image).otherBytes);
  }
}

// Fields left out keep the base's value, and the values are set without the
// pages' follow-up rules: switching change-only monitoring on leaves the
// entry delay and the voice calls as given.
TEST(CliImport, FieldsLeftOutKeepTheBaseAndNoFollowUpRuleRuns) {
  ScratchFolder dir;
  const Image demo = DemoImage();
  WriteImage(dir / "base.osr", demo);
  std::ofstream(dir / "in.json") << R"({"format": "ostrel-configuration", "version": 1,
      "pages": {"input2_1": {
      "input2.change_only": true, "input2.entry_delay": 17}}})";
  ASSERT_EQ(RunCommand({"import", dir / "in.json", "-o", dir / "out.osr", "--base", dir / "base.osr"})
                .status,
            ExitDone);
  const Difference d = Compare(demo, ReadImage(dir / "out.osr"));
  std::set<std::string> changed;
  for (const FieldDifference& f : d.fields) changed.insert(f.field.Key());
  EXPECT_EQ(changed, (std::set<std::string>{"input2.change_only", "input2.entry_delay"}));
  EXPECT_TRUE(d.otherBytes.empty()) << DescribeOffsets(d.otherBytes);
}

// An exported byte that a field cannot show (an entry delay of 200) comes
// back on import, unless the field is given another value in the JSON.
TEST(CliImport, AnEditedFieldWinsOverTheExportedBytesUnderIt) {
  Image image = DemoImage();
  image[InEntryDelay(1)] = 200;
  Json document = ExportJson(image);
  Image back;
  std::vector<std::string> errors;
  ASSERT_TRUE(ImportJson(document, InitialImage(), back, errors));
  EXPECT_EQ(back[InEntryDelay(1)], 200);
  document["pages"]["input1_1"]["input1.entry_delay"] = 12;
  ASSERT_TRUE(ImportJson(document, InitialImage(), back, errors)) << errors[0];
  ConfigModel model;
  model.Load(back);
  EXPECT_EQ(model.Shown(*FindField("input1.entry_delay")), u"12");
  const Difference d = Compare(image, back);
  ASSERT_EQ(d.fields.size(), 1u);
  EXPECT_EQ(d.fields[0].field.Key(), "input1.entry_delay");
}

// The head every export has.
std::string WithHead(const std::string& json) {
  return R"({"format": "ostrel-configuration", "version": 1, )" + json.substr(1);
}

// JSON text nested `depth` arrays deep in a value.
std::string Nested(int depth) {
  return WithHead(R"({"pages": {"input1_1": {"input1.entry_delay": )" + std::string(depth, '[') +
                  std::string(depth, ']') + "}}}");
}

// A value that breaks a page's rule, and every other broken input, exits 2
// with a line naming it and writes nothing. Hostile input is refused
// without recursing over it, and no message line shows more than a short
// cut of a value or a key, nor any control character raw.
TEST(CliImport, BrokenInputExitsTwoNamesTheKeyAndWritesNothing) {
  struct Case {
    std::string json;
    std::string named;  // what the message must name
    bool head = true;   // with "format" and "version" put in front
  };
  const std::string longText(100000, 'x');
  const Case cases[] = {
      {R"({"pages": {"input1_1": {"input1.entry_delay": 75}}})", "input1.entry_delay"},
      {R"({"pages": {"input1_1": {"input1.entry_delay": "5a"}}})", "input1.entry_delay"},
      {R"({"pages": {"input1_1": {"input1.upper_threshold": 10.5}}})", "input1.upper_threshold"},
      {R"({"pages": {"input1_1": {"input1.upper_threshold": 4.55}}})", "input1.upper_threshold"},
      {R"({"pages": {"phone1": {"phone1.number": "+7916+123"}}})", "phone1.number"},
      {R"({"pages": {"phone1": {"phone1.number": "+7916123456789"}}})", "phone1.number"},
      {R"({"pages": {"input1_2": {"input1.alarm_text": "Café"}}})", "input1.alarm_text"},
      {R"({"pages": {"input1_2": {"input1.zone_type": "Кухня"}}})", "input1.zone_type"},
      {R"({"pages": {"input1_1": {"input1.colour": 1}}})", "input1.colour"},
      {R"({"pages": {"kitchen": {}}})", "kitchen"},
      {R"({"pages": {"phone2": {"phone1.number": "+7916"}}})", "phone1.number"},
      {R"({"pages": {"input1_1": {"input1.entry_delay": true}}})", "input1.entry_delay"},
      {R"({"pages": {"phone1": {"phone1.number": 79161234567}}})", "phone1.number"},
      {R"({"pages": {"input1_2": {"input1.relay1_on": "maybe"}}})", "input1.relay1_on"},
      {R"({"pages": {"security": {"security.password": "12"}}})", "security.password"},
      {R"({"pages": {"balance": {"balance.request_number": "100"}}})", "balance.request_number"},
      {R"({"bytes": {"2299": "0102"}})", "bytes"},
      // One offset in two spellings is a key given twice.
      {R"({"bytes": {"5": "ff", "0005": "00"}})", "the offset 5 appears twice (as \"5\" and as \"0005\")"},
      {R"({"bytes": {"0012": "ff", "12": "00"}})", "the offset 12 appears twice"},
      {R"({"colour": "red"})", "colour"},
      {R"({"pages": {"input1_1": {"input1.entry_delay": 5})", "broken JSON"},
      {R"([1, 2])", "not an object", false},
      // A page named by its number, not its key.
      {R"({"pages": {"3": {}}})", "pages.3: unknown page"},
      // No export without its head.
      {R"({"pages": {}})", "format: missing", false},
      {R"({"format": "ostrel-configuration", "pages": {}})", "version: missing", false},
      {R"({"format": "ostrel-configuration", "version": 2})", "newer format", false},
      // A key given twice is refused, naming it, whatever its place.
      {R"({"pages": {}, "pages": {}})", "\"pages\" appears twice", true},
      {R"({"version": 1})", "\"version\" appears twice"},
      {R"({"pages": {"input1_1": {"input1.entry_delay": 99, "input1.entry_delay": 5}}})",
       "\"input1.entry_delay\" appears twice in pages.input1_1"},
      // Nesting deeper than an export's is refused before anything recurses.
      {Nested(100000), "nested deeper than 4 levels", false},
      {Nested(2), "nested deeper than 4 levels", false},
      // Long values and keys are cut in the messages, control characters
      // escaped.
      {R"({"pages": {"input1_2": {"input1.alarm_text": ")" + longText + "\"}}}", "100002 bytes in all"},
      {R"({"pages": {"input1_1": {")" + longText + "\": 1}}}", "100000 bytes in all"},
      {R"({"pages": {"input1_2": {"input1.alarm_text": "A\u0000B\u0007"}}})", R"("A\u0000B\u0007")"},
      {R"({"pages": {"input1_2": {"input1.alarm_text": "A\u0001B"}}})", R"(character 2 "\x01")"},
      // A character beyond 16 bits is shown whole and counted once.
      {R"({"pages": {"input1_2": {"input1.alarm_text": "a😀b"}}})", "character 2 \"😀\" is refused"},
      {R"({"pages": {"input1_2": {"input1.alarm_text": "😀😀x\u0001"}}})", R"(character 1 "😀")"},
      {R"({"pages": {"k\u0001": {}}})", "pages.k\\x01: unknown page"},
      {"{\"pages\": {\"input1_2\": {\"input1.alarm_text\": \"A\x01\"}}}", "broken JSON"},
      {"{\"colour\" " + longText + "}", "broken JSON"},
  };
  ScratchFolder dir;
  WriteImage(dir / "existing.osr", DemoImage());
  const std::string before = ReadText(dir / "existing.osr");
  for (const Case& c : cases) {
    const std::string json = c.head ? WithHead(c.json) : c.json;
    const std::string what = json.substr(0, 120);
    std::ofstream(dir / "in.json", std::ios::trunc | std::ios::binary) << json;
    const CliRun absent = RunCommand({"import", dir / "in.json", "-o", dir / "new.osr"});
    EXPECT_EQ(absent.status, ExitInvalid) << what;
    EXPECT_NE(absent.err.find(c.named), std::string::npos) << what << "\n" << absent.err;
    std::istringstream lines(absent.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LT(line.size(), 400u) << what;
      EXPECT_TRUE(std::none_of(line.begin(), line.end(),
                               [](char ch) { return static_cast<unsigned char>(ch) < 0x20; }))
          << what << "\n" << line;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "new.osr")) << what;
    const CliRun present = RunCommand({"import", dir / "in.json", "-o", dir / "existing.osr"});
    EXPECT_EQ(present.status, ExitInvalid) << what;
    EXPECT_EQ(ReadText(dir / "existing.osr"), before) << what;
  }
  // Input beyond the limit is refused before it is parsed.
  {
    std::ofstream big(dir / "big.json", std::ios::binary);
    big << WithHead(R"({"pages": {}, "padding": ")") << std::string(kMaxJsonBytes, ' ') << "\"}";
  }
  const CliRun big = RunCommand({"import", dir / "big.json", "-o", dir / "new.osr"});
  EXPECT_EQ(big.status, ExitInvalid);
  EXPECT_NE(big.err.find("too large for a configuration"), std::string::npos) << big.err;
  // Input of exactly the limit is read, from a file and from standard input.
  {
    const std::string head = WithHead(R"({"pages": {}})");
    std::ofstream exact(dir / "exact.json", std::ios::binary | std::ios::trunc);
    exact << head << std::string(kMaxJsonBytes - head.size(), ' ');
  }
  EXPECT_EQ(std::filesystem::file_size(dir / "exact.json"), kMaxJsonBytes);
  const CliRun exact = RunCommand({"import", dir / "exact.json", "-o", dir / "exact.osr"});
  EXPECT_EQ(exact.status, ExitDone) << exact.err;
  std::ofstream(dir / "small.json", std::ios::trunc) << WithHead(R"({"pages": {}})");
  ASSERT_EQ(RunCommand({"import", dir / "small.json", "-o", dir / "small.osr"}).status, ExitDone);
  EXPECT_EQ(ReadImage(dir / "exact.osr"), ReadImage(dir / "small.osr"));
  const std::string exactText = ReadText(dir / "exact.json");
  EXPECT_EQ(RunCommand({"import", "-", "-o", dir / "piped.osr"}, nullptr, false, 0, exactText).status,
            ExitDone);
  const CliRun bigPiped =
      RunCommand({"import", "-", "-o", dir / "piped2.osr"}, nullptr, false, 0, exactText + " ");
  EXPECT_EQ(bigPiped.status, ExitInvalid);
  EXPECT_NE(bigPiped.err.find("-: too large for a configuration"), std::string::npos) << bigPiped.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "piped2.osr"));
  // Many keys: the first messages and a count of the rest.
  std::string many = R"({"pages": {"input1_1": {)";
  for (int k = 0; k < 1000; ++k) many += (k ? ", \"k" : "\"k") + std::to_string(k) + "\": 1";
  std::ofstream(dir / "in.json", std::ios::trunc) << WithHead(many + "}}}");
  const CliRun flood = RunCommand({"import", dir / "in.json", "-o", dir / "new.osr"});
  EXPECT_EQ(std::count(flood.err.begin(), flood.err.end(), '\n'), 21) << flood.err;
  EXPECT_NE(flood.err.find("and 980 more"), std::string::npos) << flood.err;
}

// A field changed by set is the one field diff reports, in both directions.
// Broken JSON is said in the program's words: the line and the column
// (in characters) where the reading stopped and what it found there.
TEST(CliImport, BrokenJsonIsSaidWithLineAndColumn) {
  const std::pair<std::string, std::string> rows[] = {
      {"{\"pages\": {}, }", "broken JSON at line 1, column 15: unexpected \"}\""},
      {"{\n  \"pages\": {\n    \"input1_1\": nul\n  }\n}",
       "broken JSON at line 3, column 17: unexpected \"nul\""},
      {"{\"ключ\": x}", "broken JSON at line 1, column 10: unexpected \"x\""},
      {"{\n\"pages\": {}", "broken JSON at line 2, column 12: the text ends before the JSON is complete"},
      {"", "broken JSON at line 1, column 1: the text ends before the JSON is complete"},
      {"{\"pages\": \"abc", "broken JSON at line 1, column 15: the text ends before the JSON is complete"},
      {"{\"pages\": \"a\x01\"}", "broken JSON at line 1, column 13: unexpected \"\\x01\""},
  };
  ScratchFolder dir;
  for (const auto& [json, message] : rows) {
    std::ofstream(dir / "in.json", std::ios::trunc | std::ios::binary) << json;
    const CliRun r = RunCommand({"import", dir / "in.json", "-o", dir / "new.osr"});
    EXPECT_EQ(r.status, ExitInvalid) << json;
    EXPECT_NE(r.err.find(message), std::string::npos) << json << "\n" << r.err;
    // None of the JSON library's own wording.
    for (const char* library : {"json.exception", "parse error", "syntax error", "last read"})
      EXPECT_EQ(r.err.find(library), std::string::npos) << json << "\n" << r.err;
  }
}

TEST(CliDiff, ReportsExactlyTheFieldThatSetChanged) {
  ScratchFolder dir;
  std::mt19937 random(11);
  const std::vector<FieldRef>& fields = AllFields();
  WriteImage(dir / "a.osr", DemoImage());
  const CliRun same = RunCommand({"diff", dir / "a.osr", dir / "a.osr"});
  EXPECT_EQ(same.status, ExitDone);
  EXPECT_EQ(same.out, "");
  ConfigModel demo;
  demo.Load(DemoImage());
  for (int n = 0; n < 40; ++n) {
    const FieldRef f = fields[random() % fields.size()];
    WriteImage(dir / "b.osr", DemoImage());
    const std::string value = OtherValue(f, demo.Shown(f), random);
    const CliRun set = RunCommand({"set", dir / "b.osr", f.Key() + "=" + value});
    ASSERT_EQ(set.status, ExitDone) << f.Key() << "=" << value << ": " << set.err;
    for (const auto& [x, y] : {std::pair{"a.osr", "b.osr"}, std::pair{"b.osr", "a.osr"}}) {
      const CliRun d = RunCommand({"diff", dir / x, dir / y});
      EXPECT_EQ(d.status, ExitDifferent) << f.Key();
      EXPECT_EQ(std::count(d.out.begin(), d.out.end(), '\n'), 1) << f.Key() << "\n" << d.out;
      EXPECT_NE(d.out.find("(" + f.Key() + ")"), std::string::npos) << d.out;
    }
  }
}

TEST(CliDiff, BytesThatNoFieldShowsAreCountedWithTheirOffsets) {
  ScratchFolder dir;
  Image a = DemoImage(), b = a;
  // Record-area bytes belong to no page.
  b[2100] ^= 0x55;
  b[2101] ^= 0x55;
  b[2200] ^= 0x55;
  WriteImage(dir / "a.osr", a);
  WriteImage(dir / "b.osr", b);
  const CliRun d = RunCommand({"diff", dir / "a.osr", dir / "b.osr"});
  EXPECT_EQ(d.status, ExitDifferent);
  EXPECT_EQ(d.out, "3 bytes that no field shows differ: 0x0834-0x0835, 0x0898\n");
}

// Texts of different lengths differ in their field alone: the bytes after
// the shorter text's end belong to the field too.
TEST(CliDiff, TextsOfDifferentLengthsShowTheFieldOnly) {
  ScratchFolder dir;
  const struct {
    const char* key;
    const char* a;
    const char* b;
  } cases[] = {
      {"input1.alarm_text", "AB", "ABCDEFGH"},
      {"input1.alarm_text", "ABCDEFGH", "AB"},
      {"input1.alarm_text", "", "A"},
      {"phone1.number", "+7", "+79161234567"},
  };
  for (const auto& c : cases) {
    WriteImage(dir / "a.osr", DemoImage());
    WriteImage(dir / "b.osr", DemoImage());
    ASSERT_EQ(RunCommand({"set", dir / "a.osr", std::string(c.key) + "=" + c.a}).status, ExitDone);
    ASSERT_EQ(RunCommand({"set", dir / "b.osr", std::string(c.key) + "=" + c.b}).status, ExitDone);
    const CliRun d = RunCommand({"diff", dir / "a.osr", dir / "b.osr"});
    EXPECT_EQ(d.status, ExitDifferent) << c.a << " " << c.b;
    EXPECT_EQ(std::count(d.out.begin(), d.out.end(), '\n'), 1) << c.a << " " << c.b << "\n" << d.out;
    EXPECT_NE(d.out.find(std::string("(") + c.key + ") | " + c.a + " | " + c.b + "\n"),
              std::string::npos)
        << d.out;
    EXPECT_EQ(d.out.find("no field shows"), std::string::npos) << d.out;
  }
}

TEST(CliSet, RefusesBrokenValuesAndLeavesTheFile) {
  ScratchFolder dir;
  WriteImage(dir / "a.osr", DemoImage());
  const std::string before = ReadText(dir / "a.osr");
  for (const char* a : {"input2.entry_delay=60", "phone1.number=12+3", "nokey=1", "novalue",
                        "input1.relay1_on=2", "security.password=123",
                        // Values and keys that are not text, shown escaped.
                        "input1.alarm_text=A\xff", "input1.entry_delay=\xff", "phone1.number=1\x01",
                        "no\x1bkey=1", "input1.alarm_text=A\x01",
                        // A key given twice: no value silently wins.
                        "input1.entry_delay=12", "input1.entry_delay=11"}) {
    const CliRun r = RunCommand({"set", dir / "a.osr", "input1.entry_delay=11", a});
    EXPECT_EQ(r.status, ExitInvalid) << a;
    EXPECT_EQ(ReadText(dir / "a.osr"), before) << a;
    EXPECT_TRUE(std::none_of(r.err.begin(), r.err.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 && c != '\n';
    })) << r.err;
    EXPECT_EQ(r.err.find('\xff'), std::string::npos) << r.err;
  }
  EXPECT_EQ(RunCommand({"set", dir / "a.osr", "input1.entry_delay=11", "input1.relay1_on=да"}).status,
            ExitDone);
  ConfigModel model;
  model.Load(ReadImage(dir / "a.osr"));
  EXPECT_EQ(model.Shown(*FindField("input1.entry_delay")), u"11");
  EXPECT_EQ(model.Shown(*FindField("input1.relay1_on")), kBoxOn);
}

// A device text that holds a byte the device cannot store again is kept as
// loaded until it is given a value: then any value it can store replaces
// the kept bytes, through set and through an import over it.
TEST(CliSet, AKeptTextGivesWayToAnyValueTheDeviceCanStore) {
  const FieldRef field = *FindField("input3.alarm_text");
  const int k = kPages[field.page].member;
  Image kept = DemoImage();
  const std::uint8_t bytes[] = {0xC1, 0xE2, 0x00, 0x0D};  // "Ab", a byte no character stores, the end
  std::memcpy(&kept[field.Row().Offset(k)], bytes, sizeof bytes);
  kept[field.Row().FlagOffset(k)] |= field.Row().Mask(k);
  ConfigModel before;
  before.Load(kept);
  ASSERT_EQ(before.Shown(field), u"Ab");
  struct Case {
    std::string value;
    bool keepsBytes;  // the value it shows already: the loaded bytes stay
  };
  const Case cases[] = {{"HELLO", false}, {"", false}, {"Дверь", false}, {"Abc", false},
                        {"Ab", true}};
  ScratchFolder dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    WriteImage(dir / "kept.osr", kept);
    const CliRun set = RunCommand({"set", dir / "kept.osr", field.Key() + "=" + c.value});
    ASSERT_EQ(set.status, ExitDone) << set.err;
    std::ofstream(dir / "in.json", std::ios::trunc)
        << WithHead("{\"pages\": {\"" + PageKeyOf(field.page) + "\": {\"" + field.Key() + "\": \"" +
                    c.value + "\"}}}");
    const CliRun import = RunCommand(
        {"import", dir / "in.json", "-o", dir / "imported.osr", "--base", dir / "kept.osr"});
    ASSERT_EQ(import.status, ExitDone) << import.err;
    for (const char* name : {"kept.osr", "imported.osr"}) {
      const Image result = ReadImage(dir / name);
      ConfigModel model;
      model.Load(result);
      EXPECT_EQ(ToUtf8(model.Shown(field)), c.value) << name;
      EXPECT_EQ(std::memcmp(&result[field.Row().Offset(k)], bytes, sizeof bytes) == 0, c.keepsBytes)
          << name;
      // Nothing else changed.
      const Difference d = Compare(kept, result);
      EXPECT_TRUE(d.otherBytes.empty() || !c.keepsBytes) << DescribeOffsets(d.otherBytes);
      EXPECT_LE(d.fields.size(), c.keepsBytes ? 0u : 1u);
    }
  }
}

}  // namespace
