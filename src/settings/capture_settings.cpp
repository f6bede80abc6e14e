#include "settings/capture_settings.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <utility>

#include "base/integer_text.h"

namespace tallowin {
namespace {

constexpr std::string_view kNames[] = {
#define TALLOWIN_SETTING_NAME(name) #name,
    TALLOWIN_SETTINGS(TALLOWIN_SETTING_NAME)
#undef TALLOWIN_SETTING_NAME
};
static_assert(std::size(kNames) == kSettingCount);

using S = Setting;
using K = SettingKind;
using W = OwningWindow;

constexpr SettingDescriptor Base(S id, K kind, W window) {
  SettingDescriptor d{};
  d.id = id;
  d.name = kNames[Index(id)];
  d.kind = kind;
  d.window = window;
  return d;
}

constexpr SettingDescriptor Panel(S id, bool shown) {
  SettingDescriptor d = Base(id, K::Visibility, W::Main);
  d.startOn = shown;
  return d;
}

constexpr SettingDescriptor Bool(S id, K kind, W window, bool on, RadioGroup group = RadioGroup::None) {
  SettingDescriptor d = Base(id, kind, window);
  d.startOn = on;
  d.group = group;
  return d;
}

constexpr SettingDescriptor TextOf(S id, K kind, W window, std::u16string_view english, InputFilter filter = InputFilter::None,
                         std::u16string_view german = {}, std::optional<std::u16string_view> reset = std::nullopt) {
  SettingDescriptor d = Base(id, kind, window);
  d.startText = english;
  d.startTextGerman = german;
  d.filter = filter;
  d.resetText = reset;
  return d;
}

// The file formats offered for saved images, in German; English reads "Image" for "Bild".
constexpr std::u16string_view kImageFormatItems[] = {
    u"*.bmp - Windows Bitmap",
    u"*.dib - Windows Bitmap",
    u"*.jpg - JPEG-Bild",
    u"*.jpeg - JPEG-Bild",
    u"*.jfif - JPEG-Bild",
    u"*.jpe - JPEG-Bild",
    u"*.jif - JPEG-Bild",
    u"*.gif - Graphics Interchange Format",
    u"*.png - Portable Network Graphics",
    u"*.mng - Multiple Network Graphics",
    u"*.jng - JPEG Network Graphics",
    u"*.tif - Tagged Image File Format",
    u"*.tiff - Tagged Image File Format",
    u"*.psd - Photoshop Bild",
    u"*.pdd - Photoshop Bild",
    u"*.pgm - Portable Gray Map",
    u"*.ppm - Portable Pixel Map",
    u"*.pam - Portable Arbitrary Map",
    u"*.pfm - Portable Float Map",
    u"*.jp2 - JPEG 2000",
    u"*.j2k - JPEG 2000",
    u"*.j2c - JPEG 2000",
    u"*.jpx - JPEG 2000",
    u"*.jpc - JPEG 2000",
    u"*.dds - DirectDraw Surface",
    u"*.tga - Truevision Targa Bild",
};

// Item lists of the editable choices.
constexpr std::u16string_view kImageNamesEn[] = {u"Clipboard Image %num%", u"Clipboard Image %date% %time%",
                                                 u"%date% %time%"};
constexpr std::u16string_view kImageNamesDe[] = {u"Bild aus der Zwischenablage %num%",
                                                 u"Bild aus der Zwischenablage %date% %time%", u"%date% %time%"};
constexpr std::u16string_view kTextNamesEn[] = {u"Clipboard Text %num%", u"Clipboard Text %date% %time%",
                                                u"%date% %time%"};
constexpr std::u16string_view kTextNamesDe[] = {u"Text aus der Zwischenablage %num%",
                                                u"Text aus der Zwischenablage %date% %time%", u"%date% %time%"};
constexpr std::u16string_view kTextFormats[] = {u".txt", u".log", u".php", u".htm", u".html"};
constexpr std::u16string_view kImageSizes[] = {u"100",  u"240",  u"320",  u"480",  u"600",  u"640",  u"720",
                                               u"768",  u"800",  u"864",  u"1024", u"1152", u"1280", u"1366",
                                               u"1440", u"1600", u"1792", u"1920", u"2048"};
constexpr std::u16string_view kMargins[] = {u"0", u"10", u"25", u"50", u"75", u"100", u"250", u"500", u"1000"};
constexpr std::u16string_view kQualities[] = {u"100", u"90", u"85", u"80", u"75",
                                              u"70",  u"60", u"40", u"20", u"1"};
constexpr std::u16string_view kMethodsEn[] = {u"Bicubic", u"Bilinear", u"Nearest"};
constexpr std::u16string_view kMethodsDe[] = {u"Bikubisch", u"Bilinear", u"Nächster Nachbar"};

constexpr SettingDescriptor WithItems(SettingDescriptor d, std::span<const std::u16string_view> english,
                                      std::span<const std::u16string_view> german = {}) {
  d.items = english;
  d.itemsGerman = german;
  return d;
}

using Table = std::array<SettingDescriptor, kSettingCount>;

constexpr Table BuildTable() {
  constexpr W M = W::Main;
  constexpr W O = W::OutputSettings;
  constexpr W R = W::RegexOptions;
  constexpr auto Cut = RadioGroup::CutMode;
  constexpr auto Enc = RadioGroup::TextEncoding;
  constexpr auto Name = InputFilter::FileNamePart;
  constexpr auto Folder = InputFilter::FolderPath;
  constexpr auto Digits = InputFilter::DigitsOnly;

  Table t{};
  std::size_t n = 0;
  const auto push = [&t, &n](const SettingDescriptor& d) {
    if (n < t.size()) t[n] = d;
    ++n;
  };
  // Panels: every section body starts hidden; everything else is shown.
  for (S p : {S::Panel1, S::Panel2, S::Panel6, S::Panel7, S::Panel3, S::Panel4, S::Panel8, S::Panel9, S::pa001a,
              S::pa006b, S::pa_saveimg, S::pa006a, S::pa005b, S::pa_resizeimg, S::pa005a, S::pa003b, S::pa_savetxt,
              S::pa003a, S::pa002b, S::pa_textadd, S::pa002a, S::pa001b, S::pa_suchenersetzen, S::pa004b,
              S::pa_cutimg, S::pa004a, S::Panel5, S::Panel10, S::Panel11}) {
    const bool body = p == S::pa001b || p == S::pa002b || p == S::pa003b || p == S::pa004b || p == S::pa005b ||
                      p == S::pa006b;
    push(Panel(p, !body));
  }

  push(Bool(S::cb_history_txt, K::Flag, M, true));
  push(Bool(S::cb_history_img, K::Flag, M, true));
  push(Bool(S::cb_history_dblclick, K::Flag, M, true));
  push(Bool(S::cb_suchenersetzen, K::Flag, M, false));
  SettingDescriptor format = TextOf(S::saveimg_format, K::EditableChoice, M, u"*.jpg - JPEG-Image", Name,
                                    u"*.jpg - JPEG-Bild", u"*.jpg - JPEG-Image");
  format.itemsFromImageFormats = true;
  push(format);
  push(WithItems(TextOf(S::saveimg_name, K::EditableChoice, M, u"Clipboard Image %num%", Name,
                        u"Bild aus der Zwischenablage %num%", u"Clipboard Image %num%"),
                 kImageNamesEn, kImageNamesDe));
  push(TextOf(S::saveimg_ordner, K::Text, M, u"", Folder));
  push(Bool(S::save_img_vorher, K::Flag, M, false));
  push(Bool(S::save_img_nachher, K::Flag, M, true));
  push(Bool(S::cb_saveimg, K::Flag, M, false));
  push(WithItems(TextOf(S::act_sizebenutzer_x, K::EditableChoice, M, u"640", Digits), kImageSizes));
  push(WithItems(TextOf(S::act_sizebenutzer_y, K::EditableChoice, M, u"480", Digits), kImageSizes));
  push(Bool(S::act_resizeimg_prop, K::Flag, M, true));
  push(Bool(S::cb_resizeimg, K::Flag, M, false));
  push(WithItems(TextOf(S::savetxt_format, K::EditableChoice, M, u".txt", Name), kTextFormats));
  push(WithItems(TextOf(S::savetxt_name, K::EditableChoice, M, u"Clipboard Text %num%", Name,
                        u"Text aus der Zwischenablage %num%", u"Clipboard Text %num%"),
                 kTextNamesEn, kTextNamesDe));
  push(TextOf(S::savetxt_ordner, K::Text, M, u"", Folder));
  push(Bool(S::cb_savetxt, K::Flag, M, false));
  push(TextOf(S::act_textadd_vorne, K::Memo, M, u""));
  push(TextOf(S::act_textadd_hinten, K::Memo, M, u""));
  push(Bool(S::cb_textadd, K::Flag, M, false));
  push(TextOf(S::act_ers_text_suchen, K::Memo, M, u""));
  push(TextOf(S::act_ers_text_ersetzen, K::Memo, M, u""));
  push(Bool(S::act_ers_text_suchen_regex, K::Flag, M, false));
  push(Bool(S::act_ers_casesensitive, K::Flag, M, true));
  push(Bool(S::act_ers_text_ersetzen_regex, K::Flag, M, false));
  push(Bool(S::cb_se_mehrfach, K::Flag, M, false));
  push(Bool(S::rb_cutimg_auswahl, K::Choice, M, true, Cut));
  push(Bool(S::rb_cutimg_direkt, K::Choice, M, false, Cut));
  for (S margin : {S::act_zuschlinks, S::act_zuschrechts, S::act_zuschoben, S::act_zuschunten}) {
    push(WithItems(TextOf(margin, K::EditableChoice, M, u"0", Digits), kMargins));
  }
  push(Bool(S::cb_cutimg, K::Flag, M, false));
  push(Bool(S::m_konfig_autosave_nie, K::MenuFlag, M, true));
  push(Bool(S::m_konfig_autosave_alles, K::MenuFlag, M, false));

  push(WithItems(TextOf(S::out_quality, K::EditableChoice, O, u"90", InputFilter::Quality), kQualities));
  SettingDescriptor bar = Base(S::ScrollBar1, K::Integer, O);
  bar.startInt = 90;
  bar.minInt = 1;
  bar.maxInt = 100;
  push(bar);
  push(Bool(S::progressivaktiv, K::Flag, O, true));
  for (S rb : {S::rb_ansi, S::rb_utf7, S::rb_utf8, S::rb_beibehalten, S::rb_utf7ansi, S::rb_utf16le, S::rb_utf_be,
               S::rb_utf32le, S::rb_utf32be}) {
    push(Bool(rb, K::Choice, O, rb == S::rb_beibehalten, Enc));
  }
  push(Bool(S::act_sizehochquerformat, K::Flag, O, true));
  push(Bool(S::act_sizekleiner, K::Flag, O, true));
  push(Bool(S::act_sizebigger, K::Flag, O, true));
  push(WithItems(TextOf(S::act_sizemethode, K::EditableChoice, O, u"Bicubic", InputFilter::None, u"Bikubisch",
                        u"Bicubic"),
                 kMethodsEn, kMethodsDe));

  push(Bool(S::cb_caseinsensitive_i, K::Flag, R, false));
  push(Bool(S::cb_multiline_m, K::Flag, R, false));
  push(Bool(S::cb_singleline_s, K::Flag, R, true));
  push(Bool(S::cb_greedymode_g, K::Flag, R, true));
  push(Bool(S::cb_whitespacecomments_x, K::Flag, R, false));
  push(TextOf(S::zk_word, K::Text, R, u"0123456789aäbcdefghijklmnoöpqrsßtuüvwxyzAÄBCDEFGHIJKLMNOÖPQRSTUÜVWXYZ_"));
  push(TextOf(S::zk_space, K::Text, R, u" $9$A$D$C"));
  push(TextOf(S::zk_lineseparators, K::Text, R, u"$d$a$b$c$85$2028$2029"));
  // One row too many or too few leaves a row default-made: the order check sees it.
  if (n != t.size()) t[0] = SettingDescriptor{};
  return t;
}

constexpr Table kTable = BuildTable();

// Every row stands at the index of its identifier, so the table is in control
// order (the configuration writer and reader walk it) and Describe() is one lookup.
constexpr bool InControlOrder(const Table& t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (Index(t[i].id) != i || t[i].name != kNames[i]) return false;
  }
  return true;
}
static_assert(InControlOrder(kTable), "the settings table must list every setting once, in control order");

const Table& TableRows() { return kTable; }

std::u16string ReplaceAll(std::u16string text, std::u16string_view from, std::u16string_view to) {
  for (std::size_t p = text.find(from); p != std::u16string::npos; p = text.find(from, p + to.size())) {
    text.replace(p, from.size(), to);
  }
  return text;
}


}  // namespace

std::span<const SettingDescriptor> AllSettings() { return TableRows(); }

const SettingDescriptor& Describe(Setting s) { return TableRows()[Index(s)]; }

std::optional<Setting> FindSetting(std::string_view name) {
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    if (kNames[i] == name) return static_cast<Setting>(i);
  }
  return std::nullopt;
}

std::vector<Setting> GroupMembers(RadioGroup group) {
  std::vector<Setting> members;
  if (group == RadioGroup::None) return members;
  for (const SettingDescriptor& d : TableRows()) {
    if (d.group == group) members.push_back(d.id);
  }
  return members;
}

std::vector<std::u16string> BuiltInImageFormatItems(Language language) {
  std::vector<std::u16string> items;
  for (std::u16string_view item : kImageFormatItems) {
    std::u16string text(item);
    if (language == Language::English) text = ReplaceAll(std::move(text), u"Bild", u"Image");
    items.push_back(std::move(text));
  }
  return items;
}

namespace {
ImageFormatItemsProvider imageFormatItems = &BuiltInImageFormatItems;
}  // namespace

void SetImageFormatItemsProvider(ImageFormatItemsProvider provider) {
  imageFormatItems = provider ? provider : &BuiltInImageFormatItems;
}

std::vector<std::u16string> DefaultItems(Setting s, Language language) {
  const SettingDescriptor& d = Describe(s);
  if (d.itemsFromImageFormats) return imageFormatItems(language);
  const auto list = language == Language::German && !d.itemsGerman.empty() ? d.itemsGerman : d.items;
  return {list.begin(), list.end()};
}

CaptureSettings::CaptureSettings(Language language)
    : values_(kSettingCount), items_(kSettingCount), reactions_(kSettingCount) {
  for (const SettingDescriptor& d : TableRows()) {
    const std::size_t i = Index(d.id);
    if (d.IsBool()) {
      values_[i] = d.startOn;
    } else if (d.IsText()) {
      const bool german = language == Language::German && !d.startTextGerman.empty();
      values_[i] = std::u16string(german ? d.startTextGerman : d.startText);
    } else {
      values_[i] = d.startInt;
    }
    items_[i] = DefaultItems(d.id, language);
  }
}

bool CaptureSettings::Flag(Setting s) const { return std::get<bool>(values_[Index(s)]); }

const std::u16string& CaptureSettings::Text(Setting s) const { return std::get<std::u16string>(values_[Index(s)]); }

std::int32_t CaptureSettings::Integer(Setting s) const { return std::get<std::int32_t>(values_[Index(s)]); }

bool CaptureSettings::SetFlag(Setting s, bool on) {
  const SettingDescriptor& d = Describe(s);
  assert(d.IsBool());
  if (d.kind == SettingKind::Choice && on && !Flag(s)) {
    for (Setting other : GroupMembers(d.group)) {
      if (other != s) SetFlag(other, false);
    }
  }
  return Store(s, on);
}

bool CaptureSettings::SetText(Setting s, std::u16string text) {
  assert(Describe(s).IsText());
  return Store(s, std::move(text));
}

bool CaptureSettings::SetInteger(Setting s, std::int32_t value) {
  const SettingDescriptor& d = Describe(s);
  assert(d.kind == SettingKind::Integer);
  if (d.minInt < d.maxInt) value = std::clamp(value, d.minInt, d.maxInt);
  return Store(s, value);
}

bool CaptureSettings::Set(Setting s, const Value& value) {
  if (const bool* b = std::get_if<bool>(&value)) return SetFlag(s, *b);
  if (const std::u16string* t = std::get_if<std::u16string>(&value)) return SetText(s, *t);
  return SetInteger(s, std::get<std::int32_t>(value));
}

void CaptureSettings::SetItems(Setting s, std::vector<std::u16string> items) { items_[Index(s)] = std::move(items); }

void CaptureSettings::AttachReaction(Setting s, Reaction reaction) {
  reactions_[Index(s)].push_back(std::move(reaction));
}

ObserverHandle CaptureSettings::AddObserver(Observer observer) {
  const int id = nextObserverHandle_++;
  observers_->emplace_back(id, std::move(observer));
  return ObserverHandle(observers_, id);
}

ObserverHandle::ObserverHandle(ObserverHandle&& other) noexcept
    : entries_(std::move(other.entries_)), id_(std::exchange(other.id_, 0)) {}

ObserverHandle& ObserverHandle::operator=(ObserverHandle&& other) noexcept {
  if (this != &other) {
    Reset();
    entries_ = std::move(other.entries_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void ObserverHandle::Reset() {
  if (id_ == 0) return;
  if (const std::shared_ptr<Entries> entries = entries_.lock()) {
    std::erase_if(*entries, [id = id_](const auto& entry) { return entry.first == id; });
  }
  entries_.reset();
  id_ = 0;
}

bool CaptureSettings::Store(Setting s, Value value) {
  Value& slot = values_[Index(s)];
  if (slot == value) return false;
  slot = std::move(value);
  Changed(s);
  return true;
}

void CaptureSettings::Changed(Setting s) {
  // Copies: a reaction or observer may attach further ones or change other settings.
  const std::vector<Reaction> reactions = reactions_[Index(s)];
  for (const Reaction& r : reactions) r();
  const auto observers = *observers_;
  for (const auto& [handle, observer] : observers) observer(s);
}

void AttachQualityLink(CaptureSettings& settings) {
  settings.AttachReaction(Setting::ScrollBar1, [&settings] {
    settings.SetText(Setting::out_quality, DecimalText(settings.Integer(Setting::ScrollBar1)));
  });
  settings.AttachReaction(Setting::out_quality, [&settings] {
    if (auto value = ParseIntegerText(settings.Text(Setting::out_quality))) {
      settings.SetInteger(Setting::ScrollBar1, *value);
    }
  });
}

}  // namespace tallowin
