// Shared by the fuzz targets.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/FileSystem.h"

// A failed property ends the run with a report, as a sanitizer would.
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

// A file system of one file, held in memory.
class OneFileSystem : public IFileSystem {
 public:
  const std::u16string path = u"C:\\fuzz\\input.osr";
  std::vector<std::uint8_t> content;
  bool exists = true;

  ReadOutcome ReadExactly(const std::u16string& name, std::uint8_t* buffer,
                          std::size_t size) override {
    if (name != path || !exists) return ReadOutcome::Failed;
    if (content.size() != size) return ReadOutcome::WrongSize;
    if (size) std::memcpy(buffer, content.data(), size);
    return ReadOutcome::Done;
  }
  CreateOutcome WriteNewFile(const std::u16string&, const std::uint8_t* data,
                             std::size_t size) override {
    pending_.assign(data, data + size);
    return CreateOutcome::Written;
  }
  bool MoveOver(const std::u16string&, const std::u16string& to) override {
    if (to != path) return false;
    content = pending_;
    exists = true;
    return true;
  }
  void RemoveFile(const std::u16string&) override {}

 private:
  std::vector<std::uint8_t> pending_;
};
