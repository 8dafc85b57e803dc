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
  int k = 0;
  for (const auto& seed : FilterSeeds()) Put(folder, "fuzz_filters", "edits-" + std::to_string(++k), seed);
  k = 0;
  for (const auto& seed : LinkSeeds()) Put(folder, "fuzz_device_link", "answers-" + std::to_string(++k), seed);
  return 0;
}
