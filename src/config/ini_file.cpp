#include "config/ini_file.h"

#include "base/case_mapping.h"
#include "base/cp1252.h"

namespace tallowin {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The name of a section line, or nothing when `line` is none.
std::optional<std::u16string_view> SectionName(std::u16string_view line) {
  const std::u16string_view t = Trim(line);
  if (t.empty() || t.front() != u'[') return std::nullopt;
  const std::size_t close = t.find(u']');
  if (close == std::u16string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// The key of a value line, or nothing when `line` has no "=".
std::optional<std::u16string_view> KeyOf(std::u16string_view line) {
  const std::size_t eq = line.find(u'=');
  if (eq == std::u16string_view::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

std::u16string OneLine(std::u16string_view value) {
  std::u16string out(value);
  for (char16_t& c : out) {
    if (c == u'\r' || c == u'\n') c = u'\v';
  }
  return out;
}

}  // namespace

bool IniNamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpperCaseUnit(a[i]) != UpperCaseUnit(b[i])) return false;
  }
  return true;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  std::u16string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    doc.encoding_ = Encoding::Utf16Le;
    text.reserve((bytes.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
  } else {
    doc.encoding_ = Encoding::Ansi;
    text = DecodeCp1252(bytes);
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lf = text.find(u'\n', start);
    const std::size_t stop = lf == std::u16string::npos ? text.size() : lf;
    std::size_t end = stop;
    if (end > start && text[end - 1] == u'\r') --end;
    doc.lines_.emplace_back(text, start, end - start);
    start = lf == std::u16string::npos ? text.size() : lf + 1;
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  if (encoding_ == Encoding::Utf16Le) {
    out = "\xFF\xFE";
    auto put = [&out](char16_t c) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    };
    for (const std::u16string& line : lines_) {
      for (char16_t c : line) put(c);
      put(u'\r');
      put(u'\n');
    }
  } else {
    for (const std::u16string& line : lines_) {
      out += EncodeCp1252(line);
      out += "\r\n";
    }
  }
  return out;
}

std::optional<IniDocument::Found> IniDocument::FindSection(std::u16string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i]);
    if (!name || !IniNamesEqual(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end])) ++end;
    return Found{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const Found& section, std::u16string_view key) const {
  for (std::size_t i = section.sectionLine + 1; i < section.end; ++i) {
    const std::u16string_view line = lines_[i];
    if (!line.empty() && line.front() == u';') continue;  // a comment
    const auto name = KeyOf(line);
    if (name && IniNamesEqual(*name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::u16string> IniDocument::Read(std::u16string_view section, std::u16string_view key) const {
  const auto found = FindSection(section);
  if (!found) return std::nullopt;
  const auto line = FindKey(*found, key);
  if (!line) return std::nullopt;
  const std::u16string& text = lines_[*line];
  std::u16string value = text.substr(text.find(u'=') + 1);
  if (value.size() > kIniReadLimit) value.resize(kIniReadLimit);
  return value;
}

void IniDocument::Write(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  std::u16string entry = std::u16string(key) + u"=" + OneLine(value);
  const auto found = FindSection(section);
  if (!found) {
    lines_.push_back(u"[" + std::u16string(section) + u"]");
    lines_.push_back(std::move(entry));
    return;
  }
  if (const auto line = FindKey(*found, key)) {
    // The key keeps its spelling in the file; only the value changes.
    std::u16string& text = lines_[*line];
    text.replace(text.find(u'=') + 1, std::u16string::npos, OneLine(value));
    return;
  }
  std::size_t at = found->end;
  while (at > found->sectionLine + 1 && Trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

}  // namespace tallowin
