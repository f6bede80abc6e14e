#include "desktop/session.h"

#include <filesystem>
#include <stdexcept>

#include "base/utf.h"
#include "config/configuration_menu.h"

namespace tallowin {
namespace {

std::unique_ptr<ClipboardBackend> MakeBackend(const ClipboardBackendFactory& makeBackend) {
  std::unique_ptr<ClipboardBackend> backend = makeBackend ? makeBackend() : nullptr;
  if (!backend) throw std::invalid_argument("a session needs a clipboard backend");
  return backend;
}

}  // namespace

Session::Session(SessionOptions options, const ClipboardBackendFactory& makeBackend, ErrorSink& errors)
    : options_(std::move(options)),
      errors_(errors),
      backend_(MakeBackend(makeBackend)),
      core_(std::make_unique<ProgramCore>(backend_->Board(), options_.language)),
      capture_(core_->state.captureActive) {
  backend_->SetSuppressCounter(&core_->state.suppress);
  backend_->SetContentGate([this] { return core_->state.captureActive && core_->state.suppress.Value() == 0; });
}

Session::~Session() {
  // The backend may still deliver a change while it shuts down; the core goes first.
  backend_->Board().SetChangeHandler({});
  backend_->Board().SetLateValuesHandler({});
  backend_->SetContentGate({});
  core_->imageSteps.SetMarqueeDialog(nullptr);
}

void Session::SetMarqueeDialog(MarqueeDialog* dialog) { core_->imageSteps.SetMarqueeDialog(dialog); }

void Session::Start() {
  if (started_) return;
  started_ = true;
  core_->state.suppress.Reset();
  backend_->ProcessCurrentContent();  // the first pass sees the start-up settings
  core_->FinishStartup(options_.programFolder);
}

std::vector<Session::StartConfiguration> Session::StartConfigurations() const {
  std::vector<StartConfiguration> plan;
  std::error_code ec;
  for (const std::string& path : options_.configurations) {
    plan.push_back({path, true, std::filesystem::is_regular_file(path, ec)});
  }
  if (options_.configurations.empty()) {
    const std::string start = ConfigMenu(Utf16ToUtf8(options_.programFolder)).StartConfigurationPath();
    if (std::filesystem::is_regular_file(start, ec)) plan.push_back({start, false, true});
  }
  return plan;
}

void Session::ApplyStartAssignments() {
  for (const std::string& assignment : options_.assignments) {
    const std::string error = ApplySettingAssignment(core_->settings, assignment);
    if (!error.empty()) errors_.ShowError(error);
  }
}

}  // namespace tallowin
