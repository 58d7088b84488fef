#include "netclient/media/display/replay_control.h"

#include <algorithm>
#include <utility>

namespace qvnet {

void ReplayControl::Pause() {
  std::lock_guard guard(lock_);
  pause_ = PauseState::kPaused;
}

void ReplayControl::Continue() {
  std::lock_guard guard(lock_);
  pause_ = PauseState::kPlaying;
}

void ReplayControl::Step() {
  std::lock_guard guard(lock_);
  pause_ = PauseState::kStepping;
  step_request_ = true;
}

bool ReplayControl::Faster() {
  std::lock_guard guard(lock_);
  if (speed_ >= kMaxSpeed) return false;
  ++speed_;
  return true;
}

bool ReplayControl::Slower() {
  std::lock_guard guard(lock_);
  if (speed_ <= kMinSpeed) return false;
  --speed_;
  return true;
}

void ReplayControl::NormalSpeed() {
  std::lock_guard guard(lock_);
  speed_ = 0;
}

bool ReplayControl::RequestSeek(uint32_t seconds) {
  std::lock_guard guard(lock_);
  if (total_seconds_ == 0) return false;
  seek_target_ = std::min(seconds, total_seconds_);
  current_seconds_ = seek_target_;
  seek_pending_ = true;
  if (pause_ == PauseState::kPaused) seek_while_paused_ = true;
  return true;
}

uint32_t ReplayControl::TotalSeconds() const {
  std::lock_guard guard(lock_);
  return total_seconds_;
}

uint32_t ReplayControl::CurrentSeconds() const {
  std::lock_guard guard(lock_);
  return std::min(current_seconds_, total_seconds_);
}

void ReplayControl::SetTimeline(uint32_t first_tick, uint32_t total_seconds) {
  std::lock_guard guard(lock_);
  first_tick_ = first_tick;
  total_seconds_ = total_seconds;
  current_seconds_ = 0;
}

uint32_t ReplayControl::FirstTick() const {
  std::lock_guard guard(lock_);
  return first_tick_;
}

void ReplayControl::SetPosition(uint32_t seconds) {
  std::lock_guard guard(lock_);
  current_seconds_ = seconds;
}

std::optional<uint32_t> ReplayControl::PendingSeek() const {
  std::lock_guard guard(lock_);
  if (!seek_pending_) return std::nullopt;
  return seek_target_;
}

bool ReplayControl::SeekPending() const {
  std::lock_guard guard(lock_);
  return seek_pending_;
}

void ReplayControl::SeekDone(uint32_t target) {
  std::lock_guard guard(lock_);
  // A request for another place made meanwhile stays pending for the next step.
  if (seek_target_ == target) seek_pending_ = false;
}

void ReplayControl::NoteConduitsEmptied() {
  std::lock_guard guard(lock_);
  ++seek_generation_;
}

uint32_t ReplayControl::SeekGeneration() const {
  std::lock_guard guard(lock_);
  return seek_generation_;
}

PauseState ReplayControl::State() const {
  std::lock_guard guard(lock_);
  return pause_;
}

int32_t ReplayControl::Speed() const {
  std::lock_guard guard(lock_);
  return speed_;
}

bool ReplayControl::TakeStepRequest() {
  std::lock_guard guard(lock_);
  return std::exchange(step_request_, false);
}

bool ReplayControl::TakeSeekWhilePaused() {
  std::lock_guard guard(lock_);
  return std::exchange(seek_while_paused_, false);
}

}  // namespace qvnet
