// Writing files that replace others whole: a temporary file under a name nobody
// else can have chosen, written completely, then renamed over the real one.
#pragma once

#include <string>
#include <string_view>

namespace quorix {

// Creates and opens for writing a new file `dir`/`prefix` followed by six
// random letters and digits. The file is created, never opened when a file or
// link of that name exists, so a link planted there cannot redirect the write;
// its mode is `mode` less the umask. Returns the descriptor with `path` set,
// or -1 (errno set) when no name could be created.
int CreateUniqueFile(const std::string& dir, std::string_view prefix, std::string* path,
                     unsigned mode = 0666);

// Writes all of `bytes` to `fd`, retrying after interruptions. False (errno
// set; ENOSPC when nothing more could be written) on failure.
bool WriteAll(int fd, std::string_view bytes);

// Length of the random part CreateUniqueFile adds to the prefix.
inline constexpr size_t kUniqueSuffixLength = 6;

}  // namespace quorix
