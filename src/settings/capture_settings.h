#pragma once
// CaptureSettings: every value the user can adjust, held in one table of
// descriptors (name = configuration key, kind, owning window, start value, item
// list, radio group). Every change goes through Set*, which runs the reactions
// attached to that setting and notifies the observers, and does neither when the
// value does not really change. The user interface, the configuration loader, the
// reset and the language routine all change settings this way, so they all
// trigger the same reactions.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/language.h"
#include "settings/setting_id.h"

namespace tallowin {

enum class SettingKind {
  Flag,            // check box
  Choice,          // radio button; exactly one of its group is on after a user click
  Text,            // single-line edit
  EditableChoice,  // combo box: the text is the value, the items only suggest
  Memo,            // multi-line text, lines separated by CR LF
  Integer,         // scroll bar position
  Visibility,      // panel shown or hidden
  MenuFlag,        // checked menu entry
};

enum class OwningWindow { Main, OutputSettings, RegexOptions };

enum class RadioGroup { None, CutMode, TextEncoding };

// Characters refused when typed into a box (pasted or loaded text is never filtered).
enum class InputFilter { None, FileNamePart, FolderPath, DigitsOnly, Quality };

struct SettingDescriptor {
  Setting id;
  std::string_view name;
  SettingKind kind;
  OwningWindow window;
  RadioGroup group = RadioGroup::None;
  InputFilter filter = InputFilter::None;
  // Start-up value: a flag/choice/visibility/menu flag reads startOn, a text kind
  // reads startText (startTextGerman when the interface is German at creation),
  // an integer startInt.
  bool startOn = false;
  std::u16string_view startText;
  std::u16string_view startTextGerman;  // empty: same as startText
  std::int32_t startInt = 0;
  std::int32_t minInt = 0;
  std::int32_t maxInt = 0;
  // The value the reset command sets where it differs from the start-up value.
  std::optional<std::u16string_view> resetText;
  // Suggested items of an editable choice (German ones when they differ).
  std::span<const std::u16string_view> items;
  std::span<const std::u16string_view> itemsGerman;
  // The items are the image file formats, supplied by the image output code.
  bool itemsFromImageFormats = false;

  bool IsBool() const {
    return kind == SettingKind::Flag || kind == SettingKind::Choice || kind == SettingKind::Visibility ||
           kind == SettingKind::MenuFlag;
  }
  bool IsText() const {
    return kind == SettingKind::Text || kind == SettingKind::EditableChoice || kind == SettingKind::Memo;
  }
};

// Every descriptor, in the order in which the controls exist.
std::span<const SettingDescriptor> AllSettings();
const SettingDescriptor& Describe(Setting s);
std::optional<Setting> FindSetting(std::string_view name);  // exact control name
// The member settings of a radio group, in order.
std::vector<Setting> GroupMembers(RadioGroup group);

// The suggested items of an editable choice in one language (empty for other kinds).
std::vector<std::u16string> DefaultItems(Setting s, Language language);

// The items of `saveimg_format` come from whoever knows the image writers: it
// sets a provider when the program is assembled. Until then (and after a reset
// with nullptr) the built-in list of the 26 extensions is offered.
using ImageFormatItemsProvider = std::vector<std::u16string> (*)(Language language);
void SetImageFormatItemsProvider(ImageFormatItemsProvider provider);
std::vector<std::u16string> BuiltInImageFormatItems(Language language);

// Main window geometry; stored in the configuration, no control of its own.
struct WindowGeometry {
  bool maximized = false;
  std::int32_t clientWidth = 758;
  std::int32_t clientHeight = 569;
  std::optional<std::int32_t> top;   // unset: centred when first shown
  std::optional<std::int32_t> left;  // unset: centred when first shown
};

// Keeps an observer registered while it lives: destroying it (or Reset) removes
// the observer. It may outlive the settings it came from; it then does nothing.
class [[nodiscard]] ObserverHandle {
 public:
  using Entries = std::vector<std::pair<int, std::function<void(Setting)>>>;
  ObserverHandle() = default;
  ObserverHandle(std::weak_ptr<Entries> entries, int id) : entries_(std::move(entries)), id_(id) {}
  ObserverHandle(ObserverHandle&& other) noexcept;
  ObserverHandle& operator=(ObserverHandle&& other) noexcept;
  ObserverHandle(const ObserverHandle&) = delete;
  ObserverHandle& operator=(const ObserverHandle&) = delete;
  ~ObserverHandle() { Reset(); }
  void Reset();
  bool Active() const { return id_ != 0 && !entries_.expired(); }

 private:
  std::weak_ptr<Entries> entries_;
  int id_ = 0;
};

class CaptureSettings {
 public:
  using Value = std::variant<bool, std::u16string, std::int32_t>;
  using Reaction = std::function<void()>;
  using Observer = std::function<void(Setting)>;

  // Start-up values, with the language-dependent ones for `language`.
  explicit CaptureSettings(Language language = Language::English);

  bool Flag(Setting s) const;
  const std::u16string& Text(Setting s) const;
  std::int32_t Integer(Setting s) const;
  const Value& Get(Setting s) const { return values_[Index(s)]; }

  // Each returns whether the value changed. A choice set on turns the other
  // members of its group off first (each through its own Set, so their reactions
  // and observers run too); a choice set off leaves the others alone.
  bool SetFlag(Setting s, bool on);
  bool SetText(Setting s, std::u16string text);
  bool SetInteger(Setting s, std::int32_t value);  // clamped into a scroll bar's range
  bool Set(Setting s, const Value& value);

  // Item list of an editable choice, as currently shown (the language routine rebuilds some).
  const std::vector<std::u16string>& Items(Setting s) const { return items_[Index(s)]; }
  void SetItems(Setting s, std::vector<std::u16string> items);

  // Reactions run after the value changed, in attachment order, before the observers.
  void AttachReaction(Setting s, Reaction reaction);
  // Observers run after every real change of any setting, as long as the
  // returned handle lives.
  ObserverHandle AddObserver(Observer observer);

  WindowGeometry& Geometry() { return geometry_; }
  const WindowGeometry& Geometry() const { return geometry_; }

 private:
  bool Store(Setting s, Value value);
  void Changed(Setting s);

  std::vector<Value> values_;
  std::vector<std::vector<std::u16string>> items_;
  std::vector<std::vector<Reaction>> reactions_;
  std::shared_ptr<ObserverHandle::Entries> observers_ = std::make_shared<ObserverHandle::Entries>();
  int nextObserverHandle_ = 1;
  WindowGeometry geometry_;
};

// The link between `out_quality` and `ScrollBar1`: the bar's position is written
// into the box as decimal text; a box text that is an integer moves the bar
// (clamped to 1..100). Attached once when the model is assembled.
void AttachQualityLink(CaptureSettings& settings);

}  // namespace tallowin
