// TMP3Player: the one object through which the program plays MPEG audio files.  It owns
// a stream reader, the tag reader, the sound output and the decode thread, and reports
// back only through its three events, raised on the owner thread (the thread of the
// owner queue it was given).  Its timing (the position interval, a self-pacing device)
// runs on the clock it is given.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "decoder/MP3Decoder.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/MPEGWalker.h"
#include "engine/MP3Info.h"
#include "engine/MP3PlayerIntf.h"
#include "engine/MPOwnerQueue.h"
#include "engine/MPStreamReader.h"
#include "engine/MPThreads.h"
#include "engine/SoundOut.h"

namespace sorrel::engine {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Operations allowed now (Capabilities).
inline constexpr uint32_t mpcOpen = 0x01;
inline constexpr uint32_t mpcClose = 0x02;
inline constexpr uint32_t mpcPlay = 0x04;
inline constexpr uint32_t mpcStop = 0x08;
inline constexpr uint32_t mpcPause = 0x10;
inline constexpr uint32_t mpcResume = 0x20;
inline constexpr uint32_t mpcSeek = 0x40;
inline constexpr uint32_t mpcStopped = 0x80;

// Owner-thread notification numbers.
inline constexpr uint32_t MPN_POSITION = 1034;
inline constexpr uint32_t MPN_EXCEPTION = 1035;
inline constexpr uint32_t MPN_ENDOFDATA = 1036;
inline constexpr uint32_t MPN_STATUS = 1038;
inline constexpr uint32_t MPN_ENDPLAY = 1039;
inline constexpr uint32_t MPN_EQUALIZER = 1040;

class TMP3Player : public TMP3PlayerIntf, private TMPMessageOwner, private TMPNotifyTarget {
 public:
  explicit TMP3Player(TMPOwnerQueue& owner, base::TClock& clock = base::SystemClock());
  ~TMP3Player() override;

  // Stored-description loading: between BeginLoading and Loaded the setters only store.
  void BeginLoading() { loading_ = true; }
  void Loaded();

  // Published properties.
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool v);
  bool AutoPlay() const { return autoPlay_; }
  void SetAutoPlay(bool v);
  int ChangePosStep() const override { return changePosStep_; }
  void SetChangePosStep(int ms) override;
  TThreadPriority DecodePriority() const { return decodePriority_; }
  void SetDecodePriority(TThreadPriority p);
  bool EqualizerEnabled() const { return eqEnabled_; }
  void SetEqualizerEnabled(bool v);
  int EqualizerCount() const override { return eqCount_; }
  void SetEqualizerCount(int n) override;
  TMP3EqualizerMode EqualizerMode() const override { return eqMode_; }
  void SetEqualizerMode(TMP3EqualizerMode m) override;
  const std::string& FileName() const override { return fileName_; }
  void SetFileName(const std::string& name) override;
  TMP3InfoType NeedInfoType() const { return info_.NeedInfoType; }
  void SetNeedInfoType(TMP3InfoType t) { info_.NeedInfoType = t; }
  bool NoisySeek() const { return noisySeek_; }
  void SetNoisySeek(bool v) { noisySeek_ = v; }
  bool InvertPolarity();
  void SetInvertPolarity(bool v);
  decoder::TMP3CpuCapabilities UsingCpuCapabilities() const { return cpuCaps_; }
  void SetUsingCpuCapabilities(decoder::TMP3CpuCapabilities caps);
  int VolBalance() const override { return volBalance_; }
  void SetVolBalance(int v) override;
  int Volume() const override { return volume_; }
  void SetVolume(int v) override;

  // Public members.
  TMP3PlayerStatus Status() const override { return status_; }
  bool IsOpened() const override { return stream_ != nullptr; }
  // Open(Stream, Seekable, OwnsStream): a stream handed over is the player's, freed on
  // Close (and when opening fails); a stream lent stays the caller's, who keeps it alive
  // until Close.
  void Open(std::unique_ptr<TMPStream> stream, bool seekable);
  void Open(TMPStream& stream, bool seekable);
  void Close() override;
  void Play() override;
  void Stop() override;
  void Pause() override;
  void Resume() override;
  void Seek(int milliseconds) override;
  int Position() override;
  int Duration() const override;
  std::string Title() const override;
  std::string Artist() const override { return info_.Artist(); }
  std::string Album() const override { return info_.Album(); }
  std::string Year() const override { return info_.Year(); }
  std::string Track() const override;
  int EqualizerValue(int index) const override;
  void SetEqualizerValue(int index, int value) override;
  int EqualizerFreq(int index) const override;
  void SetEqualizerFreq(int index, int hz) override;
  void SetEqualizerFreqRange(int low, int high);
  uint32_t Capabilities() const;
  TMP3Info& Info() { return info_; }

  // Stream facts, for display and tests.
  int SampleRate() const { return rate_; }
  int Channels() const { return channels_; }
  int Layer() const { return layer_; }
  int Version() const { return version_; }
  int BitRate() const { return bitRate_; }
  int64_t DataStart() const { return dataStart_; }
  int64_t DataLength() const { return dataLength_; }
  int FrameIndexCount();
  // Buffers queued at the sound output now (diagnostics and benchmarks).
  int OutputQueued();
  // The decoder's equaliser state (read-only use: tests and displays).
  const decoder::TMP3Decoder& Decoder() const { return decoder_; }

 protected:
  virtual void DoChangeStatus();
  virtual void DoChangePosition();
  virtual void DoEndPlay();

 private:
  // A worker's exception on its way to the owner thread; the worker waits until it has
  // been shown.
  struct TWorkerFault {
    std::exception_ptr error;
    TMPSimpleEvent shown;
  };

  void Dispatch(TMPMessage& msg) override;                                  // decode thread
  void HandleNotification(uint32_t msg, uintptr_t w, intptr_t l) override;  // owner thread
  void OnWorkerException(TMPLoopThread*, const std::exception_ptr& e, bool& handled);
  void ShowWorkerFault();
  void OpenStream(TMPStream* stream, std::unique_ptr<TMPStream> owned, bool seekable);
  void DecodeStep();
  void EndOfData(std::unique_lock<TMPSimpleMutex>& decodeLock);
  void SkipBadByte();
  void OpenByName();
  void SetStatus(TMP3PlayerStatus s);
  void PostCoalesced(uint32_t msg);
  void RecomputeEqualizer();
  [[noreturn]] void FailOpen();

  TMPOwnerQueue& owner_;
  TMPStreamReader reader_;
  TMPStream* stream_ = nullptr;             // the stream playing, owned or lent
  std::unique_ptr<TMPStream> ownedStream_;  // set when owned
  bool seekable_ = false;
  int32_t frameLength_ = 0;         // with padding; 0 = not yet known
  decoder::TMPEGHead frameHead_{};  // header of the frame about to be decoded
  int32_t frameRawLength_ = 0;      // its length without padding
  decoder::TMPEGHead head_{};       // the stream's first frame
  decoder::TMPEGWalker walker_;     // the first frame's header, the frame checks
  int skipCount_ = 0;
  int64_t dataStart_ = 0;
  // Shortened by the decode thread when the data ends early; read by Duration.
  std::atomic<int64_t> dataLength_{kMPMaxInt};
  bool autoPlay_ = true, autoOpen_ = true;
  std::string fileName_;
  int changePosStep_ = 400;
  int volBalance_ = 0;
  int volume_ = 100;
  std::atomic<TMP3PlayerStatus> status_{mpsStopped};
  TMP3Info info_;
  int channels_ = 0, layer_ = 0, version_ = 0, rate_ = 0, bitRate_ = 0, bits_ = 16;
  std::atomic<TMP3EndPlayReason> reason_{merStop};
  std::unique_ptr<TSoundOut> soundOut_;
  std::unique_ptr<int16_t[]> pcm_;  // 25,600 bytes
  int pcmWaiting_ = 0;
  int64_t playedBytes_ = 0;
  int position_ = 0;
  int pcmBytesPerFrame_ = 0;
  int64_t vbrTotal_ = 0;
  TMPSimpleMutex outputLock_;
  bool reinit_ = false;
  std::unique_ptr<TMPLoopThread> thread_;
  TMPSimpleMutex decodeLock_;
  decoder::TMP3CpuCapabilities cpuCaps_ = decoder::kAllCpuCapabilities;
  int eqCount_ = 6;
  TMP3EqualizerMode eqMode_ = memSubBand;
  int eqValue_[32] = {};
  int eqFreq_[32] = {};
  bool eqEnabled_ = false;
  bool noisySeek_ = true;
  TThreadPriority decodePriority_ = tpNormal;
  int device_ = -1;

  std::vector<int64_t> frameIndex_;
  TMPSimpleMutex indexLock_;
  decoder::TMP3Decoder decoder_;
  bool loading_ = false;
  uint64_t generation_ = 0;  // bumped by seek and stop (decode lock)
  std::atomic<bool> destroying_{false};
  bool positionDeferred_ = false;  // a position event waits behind pending work (owner thread)
  uint64_t openSerial_ = 0;        // counts opens (owner thread)
  std::mutex faultLock_;
  std::deque<std::shared_ptr<TWorkerFault>> faults_;  // fault lock
  bool faultsClosed_ = false;                         // fault lock: the player is going
  // Expires with the player: a handler that ran user code can tell whether it still exists.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace sorrel::engine
