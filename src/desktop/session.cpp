#include "desktop/session.h"

#include <stdexcept>

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

void Session::ApplyStartAssignments() {
  for (const std::string& assignment : options_.assignments) {
    const std::string error = ApplySettingAssignment(core_->settings, assignment);
    if (!error.empty()) errors_.ShowError(error);
  }
}

}  // namespace tallowin
