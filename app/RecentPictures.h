#pragma once
// The pictures used last, newest first, at most eight, kept in the settings file beside the
// executable (section "Gallery", entries "Recent1" to "Recent8"; the file is UTF-16 so that
// any path fits).

#include <cstddef>
#include <string>
#include <vector>

namespace moirelle::app {

inline constexpr size_t kRecentPictureCount = 8;

// The list with the picture first and once (paths compared as the file system compares
// names), cut to kRecentPictureCount.
std::vector<std::string> WithPictureFirst(std::vector<std::string> list, const std::string& path);

class RecentPictures {
  public:
    // The settings file (UTF-8 path).
    explicit RecentPictures(std::string file);
    const std::vector<std::string>& List() const { return list_; }
    // Puts the picture first and writes the list; false when the file cannot be written.
    bool Use(const std::string& path);

  private:
    std::string file_;
    std::vector<std::string> list_;
};

} // namespace moirelle::app
