// A stand-in for TMP3Player in tests of what drives a player (commands, the display, the
// sound desk, media controls).  It plays nothing and records the calls made to it.  Its
// events come as the player's do: from the owner queue's loop, never inside a call;
// status changes of one batch raise one OnChangeStatus; OnEndPlay follows a fall from
// playing or paused to stopped while a file is open, with the reason of that fall.  The
// test moves the song on by hand, as the engine's threads would: SetPosition,
// SetDuration, TickPosition, EndOfFile, Fail.
#pragma once

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/MP3PlayerIntf.h"
#include "engine/MPOwnerQueue.h"
#include "engine/MPThreads.h"

namespace sorrel::engine {

class TFakeMP3Player final : public TMP3PlayerIntf, private TMPNotifyTarget {
 public:
  // What a file holds, by name; a name not listed opens as a song of length 0 without tags.
  struct TSong {
    int duration = 0;
    std::string title, artist, album, year, track;
  };
  std::map<std::string, TSong> Songs;
  // Names whose opening fails as an unplayable file's does.
  std::set<std::string> Unplayable;

  explicit TFakeMP3Player(TMPOwnerQueue& owner) : owner_(owner) {}
  ~TFakeMP3Player() override { owner_.Detach(this); }

  // The calls made, in order: "SetFileName(a.mp3)", "Play", "Seek(3000)",
  // "SetVolume(40)", "SetEqualizerValue(2,-10)", ...
  const std::vector<std::string>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // The engine's side.
  void SetPosition(int ms) { position_ = ms; }
  void SetDuration(int ms) { duration_ = ms; }
  // The sound output's periodic position notification.
  void TickPosition() { owner_.Post(this, kPosition); }
  // The audio data ran out / a worker thread failed with `message` (shown through the
  // standard exception display): the song stops with merEndOfFile / merError.
  void EndOfFile() { owner_.Post(this, kEndOfData); }
  void Fail(const std::string& message) {
    failures_.push_back(message);
    owner_.Post(this, kException);
  }

  const std::string& FileName() const override { return fileName_; }
  void SetFileName(const std::string& name) override {
    Record("SetFileName(" + name + ")");
    CloseNow();
    if (name.empty()) return;
    if (Unplayable.count(name)) {
      fileName_.clear();
      throw EMPError("unknown MPEG Audio format.");
    }
    opened_ = true;
    fileName_ = name;
    auto song = Songs.find(name);
    duration_ = song == Songs.end() ? 0 : song->second.duration;
    position_ = 0;
    SetStatus(mpsStopped);
    PlayNow();
  }

  TMP3PlayerStatus Status() const override { return status_; }
  bool IsOpened() const override { return opened_; }
  void Play() override {
    Record("Play");
    PlayNow();
  }
  void Stop() override {
    Record("Stop");
    StopNow();
  }
  void Pause() override {
    Record("Pause");
    if (opened_ && status_ == mpsPlaying) SetStatus(mpsPaused);
  }
  void Resume() override {
    Record("Resume");
    if (opened_ && status_ == mpsPaused) SetStatus(mpsPlaying);
  }
  void Close() override {
    Record("Close");
    CloseNow();
  }
  void Seek(int milliseconds) override {
    Record("Seek(" + std::to_string(milliseconds) + ")");
    if (milliseconds < 0 || !opened_ || status_ == mpsStopped) return;
    // Beyond the end it lands on the last frame.
    position_ = duration_ > 0 ? std::min(milliseconds, duration_) : milliseconds;
    owner_.Post(this, kPosition, 0, 0, true);
  }
  int Position() override { return opened_ ? position_ : 0; }
  int Duration() const override { return duration_; }

  std::string Title() const override {
    const TSong* s = Song();
    if (s && !s->title.empty()) return s->title;
    size_t slash = fileName_.find_last_of('/');
    return slash == std::string::npos ? fileName_ : fileName_.substr(slash + 1);
  }
  std::string Artist() const override { return Song() ? Song()->artist : std::string(); }
  std::string Album() const override { return Song() ? Song()->album : std::string(); }
  std::string Year() const override { return Song() ? Song()->year : std::string(); }
  std::string Track() const override { return Song() ? Song()->track : std::string(); }

  int Volume() const override { return volume_; }
  void SetVolume(int percent) override {
    Record("SetVolume(" + std::to_string(percent) + ")");
    if (percent >= 0 && percent <= 100) volume_ = percent;
  }
  int VolBalance() const override { return balance_; }
  void SetVolBalance(int balance) override {
    Record("SetVolBalance(" + std::to_string(balance) + ")");
    if (balance >= -100 && balance <= 100) balance_ = balance;
  }
  TMP3EqualizerMode EqualizerMode() const override { return eqMode_; }
  void SetEqualizerMode(TMP3EqualizerMode mode) override {
    Record("SetEqualizerMode(" + std::to_string(int(mode)) + ")");
    eqMode_ = mode;
  }
  int EqualizerCount() const override { return eqCount_; }
  void SetEqualizerCount(int count) override {
    Record("SetEqualizerCount(" + std::to_string(count) + ")");
    if (count >= 1 && count <= 32) eqCount_ = count;
  }
  int EqualizerValue(int index) const override { return eqValue_[Index(index)]; }
  void SetEqualizerValue(int index, int value) override {
    Record("SetEqualizerValue(" + std::to_string(index) + "," + std::to_string(value) + ")");
    int& v = eqValue_[Index(index)];
    if (value >= -100 && value <= 100) v = value;
  }
  int EqualizerFreq(int index) const override { return eqFreq_[Index(index)]; }
  void SetEqualizerFreq(int index, int hz) override {
    Record("SetEqualizerFreq(" + std::to_string(index) + "," + std::to_string(hz) + ")");
    int& f = eqFreq_[Index(index)];
    if (eqMode_ == memFreq && hz >= 1 && hz <= 24000) f = hz;
  }
  int ChangePosStep() const override { return changePosStep_; }
  void SetChangePosStep(int ms) override {
    Record("SetChangePosStep(" + std::to_string(ms) + ")");
    if (ms >= 100) changePosStep_ = ms;
  }

 private:
  // The player's notification numbers.
  static constexpr uint32_t kPosition = 1034, kException = 1035, kEndOfData = 1036, kStatus = 1038,
                            kEndPlay = 1039;
  static constexpr uintptr_t kDue = 1;

  static size_t Index(int index) {
    if (index < 0 || index > 31)
      throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return size_t(index);
  }
  const TSong* Song() const {
    auto s = Songs.find(fileName_);
    return s == Songs.end() ? nullptr : &s->second;
  }
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  void SetStatus(TMP3PlayerStatus s) {
    TMP3PlayerStatus old = status_;
    if (old == s) return;
    status_ = s;
    owner_.Post(this, kStatus, 0, 0, true);
    if ((old == mpsPlaying || old == mpsPaused) && s == mpsStopped && opened_)
      owner_.Post(this, kEndPlay, 0, 0, true);
  }
  void PlayNow() {
    if (!opened_ || status_ != mpsStopped) return;
    SetStatus(mpsPlaying);
    reason_ = merStop;
    owner_.Post(this, kPosition, 0, 0, true);
  }
  void CloseNow() {
    if (!opened_) return;
    StopNow();
    opened_ = false;
    fileName_.clear();
    position_ = duration_ = 0;
    SetStatus(mpsStopped);
  }
  void StopNow() {
    if (!opened_ || status_ == mpsStopped) return;
    position_ = 0;
    SetStatus(mpsStopped);
    owner_.Post(this, kPosition, 0, 0, true);
  }

  void HandleNotification(uint32_t msg, uintptr_t w, intptr_t) override {
    switch (msg) {
      case kPosition:
        // As the player: pending work first, the event from the loop afterwards.
        if (w != kDue) {
          if (!positionDeferred_) {
            positionDeferred_ = true;
            owner_.PostBehindPending(this, kPosition, kDue);
          }
          break;
        }
        positionDeferred_ = false;
        owner_.Remove(this, kPosition);
        if (OnChangePosition) OnChangePosition(this);
        break;
      case kException: {
        std::string message = failures_.front();
        failures_.erase(failures_.begin());
        ShowMPException(std::make_exception_ptr(EMPError(message)));
        if (!opened_ || status_ == mpsStopped) break;
        reason_ = merError;
        StopNow();
        break;
      }
      case kEndOfData:
        if (!opened_ || status_ == mpsStopped) break;
        reason_ = merEndOfFile;
        StopNow();
        break;
      case kStatus:
        owner_.Remove(this, kStatus);
        if (OnChangeStatus) OnChangeStatus(this);
        break;
      case kEndPlay: {
        owner_.Remove(this, kEndPlay);
        TMP3EndPlayReason r = reason_;
        reason_ = merStop;
        if (OnEndPlay) OnEndPlay(this, r);
        break;
      }
      default:
        break;
    }
  }

  TMPOwnerQueue& owner_;
  std::vector<std::string> calls_;
  std::vector<std::string> failures_;
  std::string fileName_;
  bool opened_ = false;
  TMP3PlayerStatus status_ = mpsStopped;
  TMP3EndPlayReason reason_ = merStop;
  bool positionDeferred_ = false;
  int position_ = 0, duration_ = 0;
  int volume_ = 100, balance_ = 0, changePosStep_ = 400;
  TMP3EqualizerMode eqMode_ = memSubBand;
  int eqCount_ = 6;
  int eqValue_[32] = {};
  int eqFreq_[32] = {};
};

}  // namespace sorrel::engine
