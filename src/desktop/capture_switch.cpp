#include "desktop/capture_switch.h"

#include <utility>
#include <vector>

namespace tallowin {

CaptureSwitch::Subscription& CaptureSwitch::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    Reset();
    owner_ = std::exchange(other.owner_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void CaptureSwitch::Subscription::Reset() {
  if (owner_) owner_->observers_.erase(id_);
  owner_ = nullptr;
}

void CaptureSwitch::Set(bool on) {
  if (value_ == on) return;
  value_ = on;
  // An observer may end its own or another observation while being told.
  std::vector<std::size_t> ids;
  for (const auto& [id, observer] : observers_) ids.push_back(id);
  for (std::size_t id : ids) {
    auto it = observers_.find(id);
    if (it != observers_.end()) {
      Observer observer = it->second;
      observer(on);
    }
  }
}

CaptureSwitch::Subscription CaptureSwitch::Observe(Observer observer) {
  const std::size_t id = nextId_++;
  observers_.emplace(id, std::move(observer));
  return Subscription(this, id);
}

}  // namespace tallowin
