// The site's page template (search_template.html) around the search output.
//
// The template is copied up to its marker line before the program writes
// anything of its own (the head), and from after the marker line once the
// program is done (the tail). The template is read whole when it is opened.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorix {

inline constexpr std::string_view kTemplateFileName = "search_template.html";
inline constexpr std::string_view kTemplateMarker = "<!--VEXASEARCH-->";

// Receives the template text that belongs on the page.
using PageSink = std::function<void(std::string_view)>;

// Byte position of the marker in `line`, matched without regard to ASCII
// case, or nullopt.
std::optional<size_t> FindMarker(std::string_view line);

class PageTemplate {
 public:
  PageTemplate() = default;
  PageTemplate(const PageTemplate&) = delete;
  PageTemplate& operator=(const PageTemplate&) = delete;

  // Opens `programDir`/search_template.html. Returns false (and stays closed)
  // when there is no readable template.
  bool Open(const std::string& programDir);
  bool isOpen() const { return text_ != nullptr; }

  // Writes the lines before the first marker line to `sink`; the marker line
  // itself, with any text around the marker, is dropped. Without a marker the
  // whole template is written. Does nothing when the template is not open.
  void WriteHead(const PageSink& sink);

  // Writes everything after the marker line unchanged and closes the
  // template. Does nothing when the template is not open.
  void WriteTail(const PageSink& sink);

 private:
  // The template's bytes and where its head ends and its tail starts.
  struct Text {
    std::string bytes;
    size_t headEnd = 0;
    size_t tailStart = 0;
  };
  static bool ReadText(const std::string& path, Text& text);

  std::shared_ptr<const Text> text_;
};

}  // namespace quorix
