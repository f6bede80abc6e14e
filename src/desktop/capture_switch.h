#pragma once
// The capture switch (the menu entry m_einst_aktiv, F3) as every face sees it:
// one value, changed through Set, and observers told of each real change, so a
// window's menu entry and a tray entry show the same state whoever flips it.

#include <cstddef>
#include <functional>
#include <map>

namespace tallowin {

class CaptureSwitch {
 public:
  using Observer = std::function<void(bool on)>;

  // Ends an observation when destroyed. The switch must outlive it.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(CaptureSwitch* owner, std::size_t id) : owner_(owner), id_(id) {}
    Subscription(Subscription&& other) noexcept { *this = std::move(other); }
    Subscription& operator=(Subscription&& other) noexcept;
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }
    void Reset();

   private:
    CaptureSwitch* owner_ = nullptr;
    std::size_t id_ = 0;
  };

  // `value` is the flag the pipeline's gate reads; it must outlive the switch.
  explicit CaptureSwitch(bool& value) : value_(value) {}
  CaptureSwitch(const CaptureSwitch&) = delete;
  CaptureSwitch& operator=(const CaptureSwitch&) = delete;

  bool On() const { return value_; }
  // Observers run only when the value really changes.
  void Set(bool on);
  void Toggle() { Set(!value_); }
  [[nodiscard]] Subscription Observe(Observer observer);

 private:
  bool& value_;
  std::size_t nextId_ = 1;
  std::map<std::size_t, Observer> observers_;
};

}  // namespace tallowin
