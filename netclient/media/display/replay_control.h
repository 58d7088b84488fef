// The replay controls of a file client, one object behind one lock: the exports write the
// commands (pause, continue, step, speed, seek), the file reader carries out seeks and keeps
// the position, the display thread carries out pause, step and speed. Both readers (record and
// AVI files) take a seek through the same handshake: PendingSeek(), then SeekDone() with its
// target, which leaves a newer request pending for the next step.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

namespace qvnet {

enum class PauseState : int32_t {
  kPlaying = 0,
  kPaused = 1,
  kStepping = 2,  // paused, showing one picture per step request
};

class ReplayControl {
 public:
  // Replay speeds: the picture rate is scaled by 2^speed.
  static constexpr int32_t kMinSpeed = -4;
  static constexpr int32_t kMaxSpeed = 4;

  // Commands of the exports.
  void Pause();
  void Continue();
  void Step();
  // One speed step up or down; false (nothing changes) at the end of the range.
  bool Faster();
  bool Slower();
  void NormalSpeed();
  // Asks for a seek to `seconds` (at most the length) and shows it as the position at once;
  // false (nothing asked) while the file has no length. While paused, the display shows one
  // picture of the new place.
  bool RequestSeek(uint32_t seconds);
  uint32_t TotalSeconds() const;
  // The position, never beyond the length.
  uint32_t CurrentSeconds() const;

  // The file source: the length and the tick of the first index entry, found at open.
  void SetTimeline(uint32_t first_tick, uint32_t total_seconds);
  uint32_t FirstTick() const;
  void SetPosition(uint32_t seconds);

  // The reader's side of a seek: the target of the request to carry out, if any; then, once it
  // was carried out (or found nowhere to go), SeekDone() with that target.
  std::optional<uint32_t> PendingSeek() const;
  bool SeekPending() const;
  void SeekDone(uint32_t target);
  // The reader emptied the conduits for a new place: the display drops what its decoder holds
  // of the old one when it sees the generation change.
  void NoteConduitsEmptied();
  uint32_t SeekGeneration() const;

  // The display's side.
  PauseState State() const;
  int32_t Speed() const;
  // True once per Step() (the display shows the next picture).
  bool TakeStepRequest();
  // True once per seek asked for while paused.
  bool TakeSeekWhilePaused();

 private:
  mutable std::mutex lock_;
  uint32_t total_seconds_ = 0;
  uint32_t current_seconds_ = 0;
  uint32_t first_tick_ = 0;
  uint32_t seek_target_ = 0;  // seconds
  bool seek_pending_ = false;
  bool seek_while_paused_ = false;
  PauseState pause_ = PauseState::kPlaying;
  bool step_request_ = false;
  int32_t speed_ = 0;
  uint32_t seek_generation_ = 0;
};

}  // namespace qvnet
