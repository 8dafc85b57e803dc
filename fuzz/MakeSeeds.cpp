// Writes the seed inputs of the fuzz targets into FOLDER/<target>/, each
// made by the project's own writers: configuration files saved by the
// file writer, images of the initial and the demonstration configuration
// and their JSON exports, and the answers of the emulated alarm.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Seeds.h"
#include "app/ConfigFile.h"
#include "device/DemoConfiguration.h"
#include "config/ImageMap.h"
#ifdef OSTREL_SEEDS_OF_IMPORT
#include "cli/Operations.h"
#endif
#ifdef OSTREL_SEEDS_OF_API
#include "server/SitesApi.h"
#endif

namespace fs = std::filesystem;

namespace {

void Put(const fs::path& folder, const std::string& target, const std::string& name,
         const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(folder / target);
  std::ofstream out(folder / target / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::vector<std::uint8_t>> Images() {
  std::vector<std::vector<std::uint8_t>> images;
  std::vector<std::uint8_t> image(kImageSize);
  InitImage(image.data());
  images.push_back(image);
  MakeDemoImage(image.data());
  images.push_back(image);
  images.push_back(std::vector<std::uint8_t>(kImageSize, 0));
  return images;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
    return 2;
  }
  const fs::path folder = argv[1];
  int n = 0;
  for (const auto& image : Images()) {
    ++n;
    OneFileSystem files;
    files.exists = false;
    if (!SaveConfigFile(files, files.path, image.data())) return 1;
    Put(folder, "fuzz_config_file", "saved-" + std::to_string(n), files.content);
    Put(folder, "fuzz_pages", "image-" + std::to_string(n), image);
#ifdef OSTREL_SEEDS_OF_IMPORT
    // The export of the image, as the program writes it, and compact.
    for (int indent : {2, -1}) {
      const std::string json = ExportJson(image).dump(indent);
      Put(folder, "fuzz_import_json", "export-" + std::to_string(n) + (indent < 0 ? "-compact" : ""),
          std::vector<std::uint8_t>(json.begin(), json.end()));
    }
#endif
  }
#ifdef OSTREL_SEEDS_OF_API
  {
    // A day at the office, each request as its role sends it (ApiFuzz.cpp:
    // the first byte, then METHOD, TARGET, ORIGIN, COOKIE and the body).
    std::vector<std::uint8_t> image(kImageSize);
    MakeDemoImage(image.data());
    const auto file = ConfigFileBytes(image.data());
    const std::string osr = office::EncodeBase64(std::vector<std::uint8_t>(file.begin(), file.end()));
    const char none = 1, viewer = 3, installer = 5, admin = 7;
    struct Request {
      char who;
      std::string method, target, body;
    };
    const Request requests[] = {
        {installer, "POST", "/api/sites", R"({"number":"F1","customer":"Иванов","phone":"+79990001122"})"},
        {installer, "POST", "/api/sites/F1/revisions", R"({"osr":")" + osr + R"(","comment":"read","source":"read"})"},
        {installer, "POST", "/api/sites/F1/revisions",
         R"({"osr":")" + osr + R"(","parent":"","at":"2026-12-09T22:50:00.000Z","author":"laptop"})"},
        {viewer, "GET", "/api/sites?q=%D0%B8%D0%B2&archived=1", ""},
        {viewer, "GET", "/api/sites/F1", ""},
        {viewer, "GET", "/api/sites/F1/log?limit=5", ""},
        {viewer, "GET", "/api/sites/F1/diff?from=0000&to=ffff", ""},
        {viewer, "GET", "/api/find?phone*.number=%2B79990001122&input2.change_only=yes", ""},
        {installer, "GET", "/api/sites/F1/password", ""},
        {installer, "GET", "/api/sites/F1/export", ""},
        {installer, "PATCH", "/api/sites/F1", R"({"notes":"ключ у соседа","sim":"+7 916 000-00-00"})"},
        {admin, "POST", "/api/sites/F1/archive", R"({"archived":false})"},
        {admin, "GET", "/api/audit?since=2026-01-01&limit=10", ""},
        {admin, "POST", "/api/operators", R"({"name":"op1","role":"viewer","password":"op1-password"})"},
        {admin, "PATCH", "/api/operators/op1", R"({"role":"installer","disabled":true})"},
        {none, "GET", "/api/session", ""},
    };
    int r = 0;
    for (const Request& q : requests) {
      const std::string text = std::string(1, q.who) + q.method + "\n" + q.target + "\n\n\n" + q.body;
      Put(folder, "fuzz_api", "request-" + std::to_string(++r), std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    const std::string json = std::string(1, '\0') + R"({"name":"a","list":[1,2.5,{"b":null,"c":"\u0416"}],"t":true})";
    Put(folder, "fuzz_api", "json-1", std::vector<std::uint8_t>(json.begin(), json.end()));
  }
#endif
  int k = 0;
  for (const auto& seed : FilterSeeds()) Put(folder, "fuzz_filters", "edits-" + std::to_string(++k), seed);
  k = 0;
  for (const auto& seed : LinkSeeds()) Put(folder, "fuzz_device_link", "answers-" + std::to_string(++k), seed);
  return 0;
}
