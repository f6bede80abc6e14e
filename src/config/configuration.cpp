#include "config/configuration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "base/errors.h"
#include "settings/setting_values.h"
#include "config/ini_file.h"
#include "base/atomic_file.h"
#include "base/integer_text.h"

namespace tallowin {
namespace {

std::u16string_view WindowLetters(OwningWindow w) {
  switch (w) {
    case OwningWindow::Main:
      return u"PB";
    case OwningWindow::RegexOptions:
      return u"RX";
    case OwningWindow::OutputSettings:
      return u"EA";
  }
  return u"PB";
}

std::u16string_view KindLetters(SettingKind k) {
  switch (k) {
    case SettingKind::Flag:
      return u"CH";
    case SettingKind::Choice:
      return u"RB";
    case SettingKind::Text:
      return u"ED";
    case SettingKind::EditableChoice:
      return u"CB";
    case SettingKind::Memo:
      return u"ME";
    case SettingKind::Integer:
      return u"SB";
    case SettingKind::Visibility:
      return u"PA";
    case SettingKind::MenuFlag:
      return u"AS";
  }
  return u"";
}

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// The exit-save entries are stored as AS/N and AS/A.
std::u16string_view ExitSaveKey(Setting s) { return s == Setting::m_konfig_autosave_nie ? u"N" : u"A"; }

// The windows in the order the file walks them.
constexpr OwningWindow kWalkOrder[] = {OwningWindow::Main, OwningWindow::RegexOptions, OwningWindow::OutputSettings};

enum class FileState { Missing, Read, Unreadable };

// The whole file, when it is a regular file (or a link to one) that can be
// read. Anything else at the name (a folder, FIFO, device or socket) is never
// opened: opening a device alone can act on it.
FileState ReadFile(const std::string& path, std::string& bytes) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unreadable;
  }
  if (!S_ISREG(info.st_mode)) return FileState::Unreadable;
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unreadable;
  FileState state = FileState::Read;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    state = FileState::Unreadable;
  } else {
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        state = FileState::Unreadable;
        break;
      }
      if (n == 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return state;
}

[[noreturn]] void RaiseUnableToWrite(const std::string& path) {
  throw TallowinError("Unable to write to " + path);
}

void ApplyDocument(CaptureSettings& settings, const IniDocument& doc, bool startup, const ConfigurationWindow& window) {
  for (OwningWindow w : kWalkOrder) {
    for (const SettingDescriptor& d : AllSettings()) {
      if (d.window != w || d.kind == SettingKind::MenuFlag) continue;
      const std::optional<std::u16string> text = doc.Read(ConfigSection(d), Ascii(d.name));
      if (!text) continue;
      if (const std::optional<CaptureSettings::Value> value = ParseSettingValue(d.kind, *text)) {
        settings.Set(d.id, *value);  // a scroll bar position is brought into its range here
      }
    }
  }

  const auto readInt = [&doc](std::u16string_view section, std::u16string_view key) -> std::optional<std::int32_t> {
    const std::optional<std::u16string> text = doc.Read(section, key);
    return text ? ParseIntegerText(*text) : std::nullopt;
  };
  WindowGeometry& geometry = settings.Geometry();
  const std::optional<std::int32_t> pf = readInt(u"SP", u"PF");
  const bool maximized = pf ? *pf != 0 : geometry.maximized;
  if (maximized) {
    geometry.maximized = true;
    if (startup) {
      if (window.maximizeOnActivate) window.maximizeOnActivate();
    } else if (window.maximizeAtOrigin) {
      window.maximizeAtOrigin();
    }
  } else {
    // Each number only within the screen; there is no lower bound.
    if (auto v = readInt(u"SP", u"PB"); v && *v <= window.screenWidth) geometry.clientWidth = *v;
    if (auto v = readInt(u"SP", u"PH"); v && *v <= window.screenHeight) geometry.clientHeight = *v;
    if (auto v = readInt(u"SP", u"PT"); v && *v <= window.screenHeight) geometry.top = *v;
    if (auto v = readInt(u"SP", u"PL"); v && *v <= window.screenWidth) geometry.left = *v;
    if (window.applyGeometry) window.applyGeometry();
  }

  for (Setting s : {Setting::m_konfig_autosave_nie, Setting::m_konfig_autosave_alles}) {
    if (auto v = readInt(u"AS", ExitSaveKey(s))) settings.SetFlag(s, *v != 0);
  }
  if (window.sectionLayout) window.sectionLayout();
  if (window.applyLanguage) window.applyLanguage();
}

}  // namespace

std::u16string ConfigSection(const SettingDescriptor& d) {
  if (d.kind == SettingKind::MenuFlag) return u"AS";
  return std::u16string(WindowLetters(d.window)) + std::u16string(KindLetters(d.kind));
}

void KonfigurationSpeichern(CaptureSettings& settings, const std::string& path, const ConfigurationWindow& window) {
  std::string bytes;
  const FileState state = ReadFile(path, bytes);
  if (state == FileState::Unreadable) RaiseUnableToWrite(path);
  IniDocument doc = state == FileState::Read ? IniDocument::Parse(bytes) : IniDocument();

  for (OwningWindow w : kWalkOrder) {
    for (const SettingDescriptor& d : AllSettings()) {
      if (d.window != w || d.kind == SettingKind::MenuFlag) continue;
      doc.Write(ConfigSection(d), Ascii(d.name), FormatSettingValue(d.kind, settings.Get(d.id)));
    }
  }
  const WindowGeometry geometry = window.currentGeometry ? window.currentGeometry() : settings.Geometry();
  doc.Write(u"SP", u"PF", geometry.maximized ? u"1" : u"0");
  doc.Write(u"SP", u"PB", DecimalText(geometry.clientWidth));
  doc.Write(u"SP", u"PH", DecimalText(geometry.clientHeight));
  // A position not known yet (no window was shown) is not written.
  if (geometry.top) doc.Write(u"SP", u"PT", DecimalText(*geometry.top));
  if (geometry.left) doc.Write(u"SP", u"PL", DecimalText(*geometry.left));
  for (Setting s : {Setting::m_konfig_autosave_nie, Setting::m_konfig_autosave_alles}) {
    doc.Write(u"AS", ExitSaveKey(s), settings.Flag(s) ? u"1" : u"0");
  }

  const std::string content = doc.Serialize();
  try {
    // A configuration kept elsewhere and linked to (a dotfiles folder) stays
    // linked, and a private one stays private: the file the name leads to is
    // rewritten with its mode and owner, and a hard-linked one in place.
    AtomicFileSink file(path, TargetLinks::Follow);
    file.Put(content);
    file.Commit();
  } catch (const AtomicFileError& e) {
    if (state == FileState::Missing && e.stage() == AtomicFileError::Stage::Create) {
      throw TallowinError("Cannot create file \"" + path + "\". " + std::strerror(e.error()));
    }
    RaiseUnableToWrite(path);
  }
}

void ApplyConfigurationBytes(CaptureSettings& settings, std::string_view bytes, bool startup,
                             const ConfigurationWindow& window) {
  ApplyDocument(settings, IniDocument::Parse(bytes), startup, window);
}

void KonfigurationLaden(CaptureSettings& settings, const std::string& path, bool startup,
                        const ConfigurationWindow& window) {
  std::string bytes;
  if (ReadFile(path, bytes) != FileState::Read) bytes.clear();  // every value counts as absent
  ApplyConfigurationBytes(settings, bytes, startup, window);
}

void ApplyLanguageToSettings(CaptureSettings& settings, Language language) {
  const bool german = language == Language::German;
  std::u16string format = settings.Text(Setting::saveimg_format);
  const std::u16string_view from = german ? u"Image" : u"Bild";
  const std::u16string_view to = german ? u"Bild" : u"Image";
  for (std::size_t p = format.find(from); p != std::u16string::npos; p = format.find(from, p + to.size())) {
    format.replace(p, from.size(), to);
  }
  settings.SetText(Setting::saveimg_format, std::move(format));

  // A method name of either language becomes the same entry of this language's list.
  const std::vector<std::u16string> en = DefaultItems(Setting::act_sizemethode, Language::English);
  const std::vector<std::u16string> de = DefaultItems(Setting::act_sizemethode, Language::German);
  const std::u16string& method = settings.Text(Setting::act_sizemethode);
  for (std::size_t i = 0; i < en.size() && i < de.size(); ++i) {
    if (method == en[i] || method == de[i]) {
      settings.SetText(Setting::act_sizemethode, german ? de[i] : en[i]);
      break;
    }
  }
  for (const SettingDescriptor& d : AllSettings()) {
    if (d.kind == SettingKind::EditableChoice) settings.SetItems(d.id, DefaultItems(d.id, language));
  }
}

void KonfigurationLadenStandard(CaptureSettings& settings, const std::u16string& programFolder) {
  const auto each = [&settings](OwningWindow w, SettingKind kind, auto apply) {
    for (const SettingDescriptor& d : AllSettings()) {
      if (d.window == w && d.kind == kind) apply(d);
    }
  };
  const auto startFlag = [&settings](const SettingDescriptor& d) { settings.SetFlag(d.id, d.startOn); };
  const auto resetText = [&settings](const SettingDescriptor& d) {
    settings.SetText(d.id, std::u16string(d.resetText ? *d.resetText : d.startText));
  };
  constexpr OwningWindow M = OwningWindow::Main;
  constexpr OwningWindow R = OwningWindow::RegexOptions;
  constexpr OwningWindow O = OwningWindow::OutputSettings;
  each(M, SettingKind::Visibility, startFlag);                                                         // 1
  each(M, SettingKind::Flag, startFlag);                                                               // 2
  each(M, SettingKind::EditableChoice, resetText);                                                     // 3
  each(M, SettingKind::Text, [&](const SettingDescriptor& d) { settings.SetText(d.id, programFolder); });  // 4
  each(M, SettingKind::Choice, startFlag);                                                             // 5
  each(M, SettingKind::Memo, [&](const SettingDescriptor& d) { settings.SetText(d.id, u""); });       // 6
  each(R, SettingKind::Flag, startFlag);                                                               // 7
  each(R, SettingKind::Text, resetText);
  each(O, SettingKind::EditableChoice, resetText);                                                     // 8
  each(O, SettingKind::Integer, [&](const SettingDescriptor& d) { settings.SetInteger(d.id, d.startInt); });
  each(O, SettingKind::Flag, startFlag);
  each(O, SettingKind::Choice, startFlag);
  each(M, SettingKind::MenuFlag, startFlag);                                                           // 9
}

void ChooseExitSave(CaptureSettings& settings, Setting chosen) {
  settings.SetFlag(Setting::m_konfig_autosave_nie, false);
  settings.SetFlag(Setting::m_konfig_autosave_alles, false);
  settings.SetFlag(chosen, true);
}

}  // namespace tallowin
