#pragma once
// INI text as the configuration files use it, read and written by the program
// itself (no toolkit):
// - "[name]" opens a section; "key=value" is one value; section names and keys
//   are matched without regard to letter case (per UTF-16 unit, simple upper case).
// - A value is the rest of its line after the first "=", blanks at either end
//   included; blanks around a key or a section name are not part of it.
// - Writing replaces the value of a present key in place, appends a missing key
//   after the last line of its section that is not blank, and a missing section
//   (with the key) at the end of the file. Every other line stays as it was:
//   comments, lines without "=", repeated keys (the first one counts), lines
//   before the first section.
// - Lines end with CR LF when written; LF, CR LF and a last line without an end
//   are read.
// - A file beginning with FF FE is UTF-16LE and stays so; any other file is read
//   and written as Windows-1252. A new file is UTF-16LE with FF FE.
// - A read value is cut after kIniReadLimit units, the file keeps it whole.
// A value cannot hold a line break: the writer turns CR and LF into U+000B.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallowin {

inline constexpr std::size_t kIniReadLimit = 2047;

class IniDocument {
 public:
  enum class Encoding { Utf16Le, Ansi };

  // An empty UTF-16LE document: what a new file starts as.
  IniDocument() = default;
  // A file's bytes. Never fails: a UTF-16 file of odd length loses its last byte.
  static IniDocument Parse(std::string_view bytes);
  // The bytes of the whole file.
  std::string Serialize() const;

  // The value of `key` in `section`, at most kIniReadLimit units; nothing when
  // the section or the key is absent.
  std::optional<std::u16string> Read(std::u16string_view section, std::u16string_view key) const;
  void Write(std::u16string_view section, std::u16string_view key, std::u16string_view value);

  Encoding encoding() const { return encoding_; }
  const std::vector<std::u16string>& lines() const { return lines_; }

 private:
  struct Found {
    std::size_t sectionLine;  // index of the "[...]" line
    std::size_t end;          // one past the section's last line
  };
  std::optional<Found> FindSection(std::u16string_view section) const;
  std::optional<std::size_t> FindKey(const Found& section, std::u16string_view key) const;

  Encoding encoding_ = Encoding::Utf16Le;
  std::vector<std::u16string> lines_;
};

// Case-insensitive equality of two names, as the file's sections and keys compare.
bool IniNamesEqual(std::u16string_view a, std::u16string_view b);

}  // namespace tallowin
