#pragma once
// Sequential text files in the system's ANSI code page: output writes one text and CR LF
// per call; input reads one field at a time by the field-input rules (see ReadInputField).
// Texts cross this interface as UTF-8.

#include "platform/win/Handles.h"

#include <optional>
#include <string>
#include <string_view>

namespace moirelle::forms {

// Reads the next field from `content` starting at `pos` and moves `pos` past it and its
// delimiter. Leading spaces are skipped; a field that begins with a double quote runs to
// the next double quote (or the end), and then the rest up to the next comma or line end
// is passed over; any other field ends at the first comma or at the end of the line (CR LF,
// CR or LF). A NUL also ends the value. An empty line gives an empty field. Answers false,
// leaving `pos`, when no text is left at all.
bool ReadInputField(std::string_view content, size_t& pos, std::string& field);

class OutputFile {
  public:
    // Creates the file or empties it; nothing when it cannot be opened.
    static std::optional<OutputFile> Open(std::string_view path);
    // Writes the text and CR LF.
    bool WriteLine(std::string_view text);

  private:
    explicit OutputFile(win::UniqueFile file) : file_(std::move(file)) {}
    win::UniqueFile file_;
};

class InputFile {
  public:
    // Opens and reads the whole file (at most 16 MB); nothing when it cannot be read.
    static std::optional<InputFile> Open(std::string_view path);
    // The next field; nothing when the file has no more text.
    std::optional<std::string> InputField();
    bool AtEnd() const { return pos_ >= content_.size(); }

  private:
    explicit InputFile(std::string content) : content_(std::move(content)) {}
    std::string content_;
    size_t pos_ = 0;
};

} // namespace moirelle::forms
