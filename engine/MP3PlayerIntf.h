// What the windows use of the player (the main window, the sound desk, the desktop's
// media controls): the song, its state and position, its tag texts, the levels and the
// three events.  TMP3Player implements it; tests of the windows' logic use a fake.
#pragma once

#include <functional>
#include <string>

namespace sorrel::engine {

enum TMP3PlayerStatus { mpsStopped = 0, mpsPlaying = 1, mpsPaused = 2 };
enum TMP3EndPlayReason { merEndOfFile = 0, merStop = 1, merError = 2 };
enum TMP3EqualizerMode { memSubBand = 0, memFreq = 1 };

class TMP3PlayerIntf {
 public:
  using TNotifyEvent = std::function<void(TMP3PlayerIntf*)>;
  using TEndPlayEvent = std::function<void(TMP3PlayerIntf*, TMP3EndPlayReason)>;

  virtual ~TMP3PlayerIntf() = default;
  TMP3PlayerIntf(const TMP3PlayerIntf&) = delete;
  TMP3PlayerIntf& operator=(const TMP3PlayerIntf&) = delete;

  // Assigning a name opens the file and plays it (with AutoOpen and AutoPlay); an empty
  // name closes.  A file that cannot be played raises EMPError and leaves the player
  // closed with an empty name.
  virtual const std::string& FileName() const = 0;
  virtual void SetFileName(const std::string& name) = 0;

  virtual TMP3PlayerStatus Status() const = 0;
  virtual bool IsOpened() const = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual void Close() = 0;
  virtual void Seek(int milliseconds) = 0;
  // Milliseconds played, and the song's length (0 when unknown).
  virtual int Position() = 0;
  virtual int Duration() const = 0;

  // Tag texts (UTF-8); Title falls back to the file part of FileName.  Track is the track
  // number as the tags give it ("7", "7/12"), empty when they give none.
  virtual std::string Title() const = 0;
  virtual std::string Artist() const = 0;
  virtual std::string Album() const = 0;
  virtual std::string Year() const = 0;
  virtual std::string Track() const = 0;

  // Levels: values out of range are ignored; an equaliser index out of range raises
  // std::out_of_range.
  virtual int Volume() const = 0;
  virtual void SetVolume(int percent) = 0;
  virtual int VolBalance() const = 0;
  virtual void SetVolBalance(int balance) = 0;
  virtual TMP3EqualizerMode EqualizerMode() const = 0;
  virtual void SetEqualizerMode(TMP3EqualizerMode mode) = 0;
  virtual int EqualizerCount() const = 0;
  virtual void SetEqualizerCount(int count) = 0;
  virtual int EqualizerValue(int index) const = 0;
  virtual void SetEqualizerValue(int index, int value) = 0;
  // Band centres (Hz); written only in memFreq mode.
  virtual int EqualizerFreq(int index) const = 0;
  virtual void SetEqualizerFreq(int index, int hz) = 0;
  // Milliseconds between position events while playing (100 at least).
  virtual int ChangePosStep() const = 0;
  virtual void SetChangePosStep(int ms) = 0;

  // Raised on the owner thread from its event loop, never inside a call into the
  // player: OnChangeStatus after a batch of status changes, OnChangePosition at most
  // every ChangePosStep ms while playing and after play, stop and seek, OnEndPlay when
  // the status falls from playing or paused to stopped while a file is open.
  TNotifyEvent OnChangePosition;
  TNotifyEvent OnChangeStatus;
  TEndPlayEvent OnEndPlay;

 protected:
  TMP3PlayerIntf() = default;
};

}  // namespace sorrel::engine
