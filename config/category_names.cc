#include "config/category_names.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "config/loaded_files.h"
#include "platform/text.h"

namespace quorix {
namespace {

// Number of names in the file: its lines, where a line feed at the very end
// starts no further line.
size_t CountNames(std::FILE* file) {
  size_t names = 0;
  int previous = '\n';
  int c;
  while ((c = std::getc(file)) != EOF) {
    if (previous == '\n') ++names;
    previous = c;
  }
  return names;
}

// The next line without its line end; false at the end of the file.
bool ReadName(std::FILE* file, std::string& name) {
  char* buffer = nullptr;
  size_t capacity = 0;
  ssize_t length = ::getline(&buffer, &capacity, file);
  if (length > 0) name.assign(buffer, static_cast<size_t>(length));
  std::free(buffer);
  if (length <= 0) return false;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  if (!name.empty() && name.back() == '\r') name.pop_back();
  return true;
}

int ReadNames(std::FILE* file, std::vector<std::string>& names) {
  size_t lines = CountNames(file);
  if (std::fseek(file, 0, SEEK_SET) != 0) return kCategoryNamesSeekFailed;
  try {
    names.reserve(std::min<size_t>(lines, kMaxWideCategoryNames));
    std::string name;
    while (names.size() < static_cast<size_t>(kMaxWideCategoryNames) && ReadName(file, name))
      names.push_back(CutUtf16(RepairUtf8(name), kCategoryNameMaxUnits));
  } catch (const std::bad_alloc&) {
    return kCategoryNamesOutOfMemory;
  }
  return kOk;
}

// The names file, or nullptr when there is none that can be read.
std::FILE* OpenNamesFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  struct stat info;
  if (file && (::fstat(::fileno(file), &info) != 0 || S_ISDIR(info.st_mode))) {
    std::fclose(file);  // a directory of that name holds no names
    file = nullptr;
  }
  return file;
}

}  // namespace

int LoadCategoryNames(const std::string& programDir, Config& config) {
  static LoadedFile<std::vector<std::string>> namesFile;
  config.categoryNames.clear();
  bool present = false;
  int result = kOk;
  auto read = [&](const std::string& path, std::vector<std::string>& names) {
    std::FILE* file = OpenNamesFile(path);
    if (!file) return false;
    present = true;
    result = ReadNames(file, names);
    std::fclose(file);
    // Only a file read without a fault is kept; the names read before a fault still count.
    if (result != kOk) config.categoryNames = std::move(names);
    return result == kOk;
  };
  const std::string path = programDir + "/" + std::string(kCategoryNamesFileName);
  if (auto names = namesFile.Get(path, read)) {
    config.useCats = 1;
    config.categoryNames = *names;
    return kOk;
  }
  config.useCats = present ? 1 : 0;
  return result;
}

bool WriteCategoryNames(const std::string& directory, const std::vector<std::string>& names,
                        std::chrono::milliseconds retryDelay) {
  std::string path = directory + "/" + std::string(kCategoryNamesFileName);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::this_thread::sleep_for(retryDelay);
    file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
  }
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += '\n';
    text += names[i];
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace quorix
