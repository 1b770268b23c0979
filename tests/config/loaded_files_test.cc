#include "config/loaded_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quorix {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Sets the file's modification time to `secondsAgo` before now plus `extraNs`.
void SetModified(const std::string& path, int64_t secondsAgo, long extraNs = 0) {
  timespec times[2];
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= secondsAgo;
  times[0].tv_nsec = extraNs;
  times[1] = times[0];
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(LoadedFile, ReadsAgainWhenTheFileMayHaveChanged) {
  char pattern[] = "/tmp/quorix_loaded_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern, path = dir + "/settings.qxdat";
  struct Case {
    const char* name;
    bool keep;
    std::function<void()> change;  // between the first and the second read
    std::string expected;          // what the second read gives
  } cases[] = {
      {"settled, unchanged: kept", true, [] {}, "old"},
      {"not kept in a process that keeps nothing", false, [&] { WriteFile(path, "new"); }, "new"},
      {"same size, other nanoseconds", true,
       [&] {
         WriteFile(path, "new");
         SetModified(path, 60, 5);
       },
       "new"},
      {"same size and time, longer", true,
       [&] {
         WriteFile(path, "newer");
         SetModified(path, 60);
       },
       "newer"},
      {"replaced by another file with the same size and time", true,
       [&] {
         WriteFile(path + ".tmp", "new");
         SetModified(path + ".tmp", 60);
         fs::rename(path + ".tmp", path);
       },
       "new"},
      {"removed: read again, and fails", true, [&] { fs::remove(path); }, "(none)"},
  };
  for (const Case& c : cases) {
    KeepLoadedFiles(c.keep);
    LoadedFile<std::string> file;
    WriteFile(path, "old");
    SetModified(path, 60);
    auto load = [](const std::string& from, std::string& bytes) {
      std::ifstream in(from, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
      return static_cast<bool>(in);
    };
    ASSERT_EQ(*file.Get(path, load), "old") << c.name;
    c.change();
    auto second = file.Get(path, load);
    EXPECT_EQ(second ? *second : "(none)", c.expected) << c.name;
  }
  // A file changed just before it was read may change again within the same
  // clock tick without a new time: it is read at every request until settled.
  KeepLoadedFiles(true);
  LoadedFile<std::string> recent;
  WriteFile(path, "old");
  SetModified(path, 0, 0);
  int reads = 0;
  auto counted = [&reads](const std::string&, std::string& bytes) {
    ++reads;
    bytes = "x";
    return true;
  };
  recent.Get(path, counted);
  recent.Get(path, counted);
  EXPECT_EQ(reads, 2) << "a file modified within the last second is not trusted";
  KeepLoadedFiles(false);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quorix
