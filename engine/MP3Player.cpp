#include "engine/MP3Player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace sorrel::engine {

namespace {

constexpr int64_t kRingSize = 327680;
constexpr int kPcmBufferBytes = 25600;
constexpr const char* kUnknownFormat = "unknown MPEG Audio format.";
// Word parameter of a position notification that has waited behind pending work.
constexpr uintptr_t kPositionDue = 1;

// Rounding to nearest, halves to even.
int RoundEven(double v) { return int(std::nearbyint(v)); }

}  // namespace

TMP3Player::TMP3Player(TMPOwnerQueue& owner, base::TClock& clock) : owner_(owner), reader_(kRingSize) {
  soundOut_ = std::make_unique<TSoundOut>(clock);
  soundOut_->SetNotifyInterval(uint32_t(changePosStep_));
  soundOut_->OnException = [this](TMPLoopThread* t, const std::exception_ptr& e, bool& h) {
    OnWorkerException(t, e, h);
  };
  thread_ = std::make_unique<TMPLoopThread>(static_cast<TMPMessageOwner*>(this), clock);
  thread_->OnException = [this](TMPLoopThread* t, const std::exception_ptr& e, bool& h) {
    OnWorkerException(t, e, h);
  };
  thread_->SetName("mp3-decode");
  thread_->Resume();
  cpuCaps_ = decoder::kAllCpuCapabilities & decoder::CpuSetFromWord(decoder::GetCpuCapabilities());
}

TMP3Player::~TMP3Player() {
  destroying_ = true;
  {
    // A worker waiting for its exception to be shown waits no more: nobody will show it.
    std::lock_guard lock(faultLock_);
    faultsClosed_ = true;
    for (auto& f : faults_) f->shown.SetEvent();
    faults_.clear();
  }
  try {
    Stop();
  } catch (...) {}
  try {
    Close();
  } catch (...) {}
  owner_.Detach(this);
  // The decode thread ends first: a step still running uses the sound output and the
  // thread object itself (a unique_ptr being reset already reads as empty).
  thread_->Quit();
  soundOut_.reset();
  thread_.reset();
  owner_.Detach(this);
}

void TMP3Player::Loaded() {
  loading_ = false;
  if (eqMode_ == memFreq) SetEqualizerFreqRange(60, 16000);
  if (autoOpen_ && !fileName_.empty()) OpenByName();
}

// ---- properties -------------------------------------------------------------------

void TMP3Player::SetAutoOpen(bool v) {
  autoOpen_ = v;
  if (v && !loading_ && !fileName_.empty() && !IsOpened()) OpenByName();
}

void TMP3Player::SetAutoPlay(bool v) {
  autoPlay_ = v;
  if (!loading_ && IsOpened() && status_ != mpsPlaying) Play();
}

void TMP3Player::SetChangePosStep(int ms) {
  if (ms < 100) return;
  changePosStep_ = ms;
  std::lock_guard lock(outputLock_);
  soundOut_->SetNotifyInterval(uint32_t(ms));
}

void TMP3Player::SetDecodePriority(TThreadPriority p) {
  static const int kWin32[] = {-15, -2, -1, 0, 1, 2, 15};
  if (p < tpIdle || p > tpTimeCritical) return;
  decodePriority_ = p;
  thread_->SetPriority(kWin32[p]);
}

void TMP3Player::SetEqualizerEnabled(bool v) {
  if (eqEnabled_ == v) return;
  eqEnabled_ = v;
  PostCoalesced(MPN_EQUALIZER);
}

void TMP3Player::SetEqualizerCount(int n) {
  if (n < 1 || n == eqCount_ || n > 32) return;
  eqCount_ = n;
  PostCoalesced(MPN_EQUALIZER);
}

void TMP3Player::SetEqualizerMode(TMP3EqualizerMode m) {
  if (m == eqMode_) return;
  eqMode_ = m;
  PostCoalesced(MPN_EQUALIZER);
}

void TMP3Player::SetFileName(const std::string& name) {
  fileName_ = name;
  if (!loading_ && autoOpen_) OpenByName();
}

bool TMP3Player::InvertPolarity() {
  std::lock_guard lock(decodeLock_);
  return decoder_.PolarityInverted();
}

void TMP3Player::SetInvertPolarity(bool v) {
  std::lock_guard lock(decodeLock_);
  decoder_.SetInvertPolarity(v);
}

void TMP3Player::SetUsingCpuCapabilities(decoder::TMP3CpuCapabilities caps) {
  cpuCaps_ = caps & decoder::kAllCpuCapabilities & decoder::CpuSetFromWord(decoder::GetCpuCapabilities());
}

void TMP3Player::SetVolBalance(int v) {
  if (v < -100 || v > 100) return;
  volBalance_ = v;
  std::lock_guard lock(outputLock_);
  soundOut_->SetBalance(v);
}

void TMP3Player::SetVolume(int v) {
  if (v < 0 || v > 100) return;
  if (v == 0 && loading_) {
    // 0 in the stored description: keep what the device had.
    volume_ = soundOut_->Volume();
    return;
  }
  volume_ = v;
  std::lock_guard lock(outputLock_);
  soundOut_->SetVolume(v);
}

int TMP3Player::EqualizerValue(int index) const {
  if (index < 0 || index > 31)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return eqValue_[index];
}

void TMP3Player::SetEqualizerValue(int index, int value) {
  if (index < 0 || index > 31)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  if (value < -100 || value > 100) return;
  if (eqValue_[index] == value) return;
  eqValue_[index] = value;
  PostCoalesced(MPN_EQUALIZER);
}

int TMP3Player::EqualizerFreq(int index) const {
  if (index < 0 || index > 31)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return eqFreq_[index];
}

void TMP3Player::SetEqualizerFreq(int index, int hz) {
  if (index < 0 || index > 31)
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  if (eqMode_ != memFreq || hz < 1 || hz > 24000) return;
  eqFreq_[index] = hz;
  PostCoalesced(MPN_EQUALIZER);
}

void TMP3Player::SetEqualizerFreqRange(int low, int high) {
  if (eqMode_ != memFreq || low < 1 || low > high || high > 24000) return;
  int n = eqCount_;
  eqFreq_[0] = low;
  for (int i = 1; i <= n - 2; ++i) {
    double prev = eqFreq_[i - 1];
    eqFreq_[i] = RoundEven(prev * std::pow(double(high) / prev, 1.0 / double(n - i)));
  }
  eqFreq_[n - 1] = high;
  PostCoalesced(MPN_EQUALIZER);
}

uint32_t TMP3Player::Capabilities() const {
  if (!IsOpened()) return mpcOpen;
  uint32_t c = mpcOpen | mpcClose;
  TMP3PlayerStatus s = status_;
  if (s == mpsStopped) c |= mpcPlay | mpcStopped;
  if (s == mpsPlaying || s == mpsPaused) {
    c |= mpcStop;
    if (seekable_) c |= mpcSeek;
  }
  if (s == mpsPlaying) c |= mpcPause;
  if (s == mpsPaused) c |= mpcResume;
  return c;
}

std::string TMP3Player::Title() const {
  std::string t = info_.Title();
  if (!t.empty()) return t;
  size_t slash = fileName_.find_last_of('/');
  return slash == std::string::npos ? fileName_ : fileName_.substr(slash + 1);
}

std::string TMP3Player::Track() const {
  // Chosen as the other texts are: the longest of the allowed sources, the earlier on ties.
  std::string best;
  auto take = [&](TMP3InfoType source, const TMPStringList& list, const char* name) {
    if (!(info_.NeedInfoType & source)) return;
    std::string v = list.Values(name);
    if (v.size() > best.size()) best = std::move(v);
  };
  take(mitID3V1, info_.ID3V1(), "TRACK");
  take(mitID3V2, info_.ID3V2(), "TRCK");
  take(mitRiff, info_.RiffInfo(), "ITRK");
  return best;
}

int TMP3Player::OutputQueued() {
  std::lock_guard lock(outputLock_);
  return soundOut_->Opened() ? soundOut_->Queued() : 0;
}

int TMP3Player::FrameIndexCount() {
  std::lock_guard lock(indexLock_);
  return int(frameIndex_.size());
}

// ---- notifications ------------------------------------------------------------------

void TMP3Player::PostCoalesced(uint32_t msg) { owner_.Post(this, msg, 0, 0, true); }

void TMP3Player::SetStatus(TMP3PlayerStatus s) {
  TMP3PlayerStatus old = status_;
  if (old == s) return;
  status_ = s;
  PostCoalesced(MPN_STATUS);
  if ((old == mpsPlaying || old == mpsPaused) && s == mpsStopped && IsOpened()) {
    PostCoalesced(MPN_ENDPLAY);
  }
}

void TMP3Player::DoChangeStatus() {
  if (!destroying_ && OnChangeStatus) OnChangeStatus(this);
}

void TMP3Player::DoChangePosition() {
  if (!destroying_ && OnChangePosition) OnChangePosition(this);
}

void TMP3Player::DoEndPlay() {
  TMP3EndPlayReason r = reason_;
  reason_ = merStop;
  if (!destroying_ && OnEndPlay) OnEndPlay(this, r);
}

void TMP3Player::OnWorkerException(TMPLoopThread*, const std::exception_ptr& e, bool& handled) {
  handled = true;
  // Shared with the owner thread, which may still hold it when this thread has gone on.
  auto fault = std::make_shared<TWorkerFault>();
  fault->error = e;
  {
    std::lock_guard lock(faultLock_);
    if (faultsClosed_) return;
    faults_.push_back(fault);
  }
  owner_.Post(this, MPN_EXCEPTION);
  // Shown on the owner thread; this thread waits until it has been, or the player goes.
  fault->shown.WaitFor(TMPEvent::kInfinite);
}

void TMP3Player::ShowWorkerFault() {
  std::shared_ptr<TWorkerFault> fault;
  {
    std::lock_guard lock(faultLock_);
    if (faults_.empty()) return;
    fault = faults_.front();  // stays listed while shown: destruction releases its worker
  }
  // The display may run an event loop of its own (a message box), in which anything can
  // happen to this player, its destruction included.
  std::weak_ptr<int> alive = alive_;
  const uint64_t song = openSerial_;
  ShowMPException(fault->error);
  if (alive.expired()) return;
  // Only the song that failed ends with the error, and only if it still plays.
  const bool failedSongPlays = openSerial_ == song && IsOpened() && status_ != mpsStopped;
  // Its decoding is parked before the worker goes on: another step would only fail, and
  // be shown, again.
  if (failedSongPlays) thread_->Event.ResetEvent();
  {
    std::lock_guard lock(faultLock_);
    std::erase(faults_, fault);
  }
  fault->shown.SetEvent();
  if (!failedSongPlays) return;
  reason_ = merError;
  Stop();
}

// Every handler returns straight after raising an event: the application may destroy
// the player inside it.
void TMP3Player::HandleNotification(uint32_t msg, uintptr_t w, intptr_t) {
  switch (msg) {
    case MPN_POSITION:
      if (w != kPositionDue) {
        // Pending work runs first: the event goes behind it and comes back from the event
        // loop, so that a command in that work (stop, close, another song) finds no
        // player call on the stack.
        if (!positionDeferred_) {
          positionDeferred_ = true;
          owner_.PostBehindPending(this, MPN_POSITION, kPositionDue);
        }
        break;
      }
      positionDeferred_ = false;
      owner_.Remove(this, MPN_POSITION);
      DoChangePosition();
      break;
    case MPN_EXCEPTION:
      ShowWorkerFault();
      break;
    case MPN_ENDOFDATA:
      if (!IsOpened() || status_ == mpsStopped) break;
      reason_ = merEndOfFile;
      if (!seekable_)
        Close();
      else
        Stop();
      break;
    case MPN_STATUS:
      owner_.Remove(this, MPN_STATUS);
      DoChangeStatus();
      break;
    case MPN_ENDPLAY:
      owner_.Remove(this, MPN_ENDPLAY);
      DoEndPlay();
      break;
    case MPN_EQUALIZER:
      owner_.Remove(this, MPN_EQUALIZER);
      if (IsOpened()) RecomputeEqualizer();
      break;
    default:
      break;
  }
}

// ---- open and close -----------------------------------------------------------------

void TMP3Player::FailOpen() { throw EMPError(kUnknownFormat); }

void TMP3Player::Open(std::unique_ptr<TMPStream> stream, bool seekable) {
  if (!stream) throw std::invalid_argument("TMP3Player.Open: no stream");
  TMPStream* s = stream.get();
  OpenStream(s, std::move(stream), seekable);
}

void TMP3Player::Open(TMPStream& stream, bool seekable) { OpenStream(&stream, nullptr, seekable); }

void TMP3Player::OpenStream(TMPStream* stream, std::unique_ptr<TMPStream> owned, bool seekable) {
  Close();
  stream_ = stream;
  ownedStream_ = std::move(owned);
  seekable_ = seekable;
  ++openSerial_;
  try {
    {
      std::lock_guard lock(indexLock_);
      frameIndex_.clear();
    }
    std::unique_lock dl(decodeLock_);
    reader_.Open(stream, seekable);
    pcm_.reset(new int16_t[kPcmBufferBytes / 2]);
    info_.SetReader(&reader_);
    if (seekable) {
      dataStart_ = 0;
      dataLength_ = reader_.Size();
      vbrTotal_ = 0;
      info_.AnalyzeHead();
      info_.AnalyzeTail();
      reader_.Seek(info_.AudioStart(), 0);
    } else {
      dataStart_ = 0;
      dataLength_ = kMPMaxInt;
      info_.AnalyzeHead();
    }
    dataStart_ = info_.AudioStart();
    dataLength_ = info_.AudioLength();

    pcmWaiting_ = 0;
    playedBytes_ = 0;
    position_ = 0;
    // The first frame (past any junk) and a VBR header frame, which is skipped.
    decoder::TMPEGData data{dataStart_,
                            dataLength_ == kMPMaxInt ? decoder::kMPEGUnknownLength : dataLength_.load()};
    if (!walker_.Open(reader_, data)) FailOpen();
    dataStart_ = data.start;
    dataLength_ = data.length == decoder::kMPEGUnknownLength ? kMPMaxInt : data.length;
    const decoder::TMPEGFrame& first = walker_.First();
    head_ = first.head;
    frameHead_ = first.head;
    frameRawLength_ = first.rawLength;
    frameLength_ = 0;  // the decode step checks the first audio frame like every other
    layer_ = walker_.Layer();
    version_ = walker_.Version();
    bitRate_ = walker_.BitRate();

    // The routines are chosen before the decoder sets up its state for them.
    decoder_.SetCpuCapabilities(decoder::CpuWordForPlayer(decoder::GetCpuCapabilities(), cpuCaps_));
    if (decoder_.AudioDecodeInit(first.head, first.rawLength, 0, 0, 0, 24000) != 1) FailOpen();
    decoder::TDecInfo di{};
    decoder_.AudioDecodeInfo(di);
    rate_ = di.samprate;
    channels_ = di.channels;
    bits_ = di.bits > 0 ? di.bits : 16;
    if (rate_ < 1 || channels_ < 1 || channels_ > 2) FailOpen();
    {
      std::lock_guard ol(outputLock_);
      soundOut_->SetSampleRate(rate_);
      soundOut_->SetBits(bits_);
      soundOut_->SetChannels(channels_);
    }
    pcmBytesPerFrame_ = di.outvalues * bits_ / 8;
    if (pcmBytesPerFrame_ < 1 || pcmBytesPerFrame_ > kPcmBufferBytes) FailOpen();

    // A Xing or VBRI frame count gives the duration and makes the bit rate meaningless;
    // LAME's Info frame (a constant bit rate) gives the duration alone.
    const decoder::TMPEGVbrHeader& vbr = walker_.Vbr();
    if (vbr.kind != decoder::TMPEGVbrHeader::kNone) {
      if (vbr.frames >= 1) vbrTotal_ = (vbr.frames - 1) * pcmBytesPerFrame_;
      if (vbr.kind != decoder::TMPEGVbrHeader::kInfo) bitRate_ = 0;
    }
    {
      std::lock_guard lock(indexLock_);
      frameIndex_.push_back(reader_.Position());
    }
    skipCount_ = 0;
    reinit_ = false;
    reason_ = merStop;
    dl.unlock();
    PostCoalesced(MPN_EQUALIZER);
    SetStatus(mpsStopped);
    if (autoPlay_) Play();
  } catch (...) {
    try {
      Close();
    } catch (...) {}
    throw;
  }
}

void TMP3Player::OpenByName() {
  if (fileName_.empty()) {
    Close();
    return;
  }
  std::string name = fileName_;
  std::unique_ptr<TMPStream> s;
  try {
    s = std::make_unique<TMPFileStream>(name);
  } catch (...) {
    Close();
    fileName_.clear();
    throw;
  }
  Open(std::move(s), true);
  fileName_ = name;
}

void TMP3Player::Close() {
  if (!IsOpened()) return;
  if (status_ != mpsStopped) Stop();
  if (!IsOpened()) return;  // a non-seekable stream closes itself on stop
  {
    std::lock_guard dl(decodeLock_);
    reader_.Close();
    pcm_.reset();
    fileName_.clear();
    stream_ = nullptr;
    ownedStream_.reset();
    info_.Clear();
    head_ = {};
    frameHead_ = {};
    walker_ = {};
    frameRawLength_ = frameLength_ = 0;
    bitRate_ = channels_ = layer_ = version_ = rate_ = 0;
    playedBytes_ = 0;
    position_ = 0;
    pcmBytesPerFrame_ = 0;
    pcmWaiting_ = 0;
    vbrTotal_ = 0;
  }
  SetStatus(mpsStopped);
}

// ---- play, stop, pause ----------------------------------------------------------------

void TMP3Player::Play() {
  if (!(Capabilities() & mpcPlay)) return;
  {
    std::lock_guard dl(decodeLock_);
    decoder_.SetCpuCapabilities(decoder::CpuWordForPlayer(decoder::GetCpuCapabilities(), cpuCaps_));
  }
  {
    std::lock_guard ol(outputLock_);
    soundOut_->SetPositionCallback([this] { owner_.Post(this, MPN_POSITION); });
    soundOut_->SetDeviceNumber(device_);
    soundOut_->SetVolume(volume_);
    soundOut_->SetBalance(volBalance_);
    soundOut_->Open();
  }
  thread_->Event.SetEvent();
  SetStatus(mpsPlaying);
  reason_ = merStop;
  PostCoalesced(MPN_POSITION);
}

void TMP3Player::Stop() {
  if (!IsOpened() || status_ == mpsStopped) return;
  {
    std::lock_guard dl(decodeLock_);
    std::lock_guard ol(outputLock_);
    soundOut_->SetPositionCallback(nullptr);
    try {
      soundOut_->Reset();
      soundOut_->Close();
    } catch (...) {
      // A failed device still closes; stopping must not fail half-way.
      try {
        soundOut_->Close();
      } catch (...) {}
    }
    thread_->Event.ResetEvent();
    ++generation_;
    owner_.Remove(this, MPN_ENDOFDATA);
    if (seekable_) reader_.Seek(dataStart_, 0);
    pcmWaiting_ = 0;
    frameLength_ = 0;
    playedBytes_ = 0;
    position_ = 0;
    skipCount_ = 0;
    reinit_ = true;
  }
  SetStatus(mpsStopped);
  PostCoalesced(MPN_POSITION);
  if (!seekable_) Close();
}

void TMP3Player::Pause() {
  if (!(Capabilities() & mpcPause)) return;
  {
    std::lock_guard ol(outputLock_);
    soundOut_->Pause();
  }
  SetStatus(mpsPaused);
}

void TMP3Player::Resume() {
  if (!(Capabilities() & mpcResume)) return;
  {
    std::lock_guard ol(outputLock_);
    soundOut_->Unpause();
  }
  SetStatus(mpsPlaying);
}

// ---- seek, position, duration -----------------------------------------------------------

void TMP3Player::Seek(int milliseconds) {
  if (milliseconds < 0 || !(Capabilities() & mpcSeek)) return;
  {
    std::lock_guard dl(decodeLock_);
    std::lock_guard ol(outputLock_);
    soundOut_->SetPositionCallback(nullptr);
    ++generation_;
    owner_.Remove(this, MPN_ENDOFDATA);  // an end reached before the seek is void
    bool paused = status_ == mpsPaused;
    soundOut_->Reset();
    soundOut_->WaitIdle();
    pcmWaiting_ = 0;
    frameLength_ = 0;
    playedBytes_ = 0;
    position_ = 0;
    skipCount_ = 0;
    if (!noisySeek_) reinit_ = true;

    int64_t targetByte = int64_t(milliseconds) * rate_ * channels_ * 2 / 1000;
    int64_t target = (targetByte + pcmBytesPerFrame_ - 1) / pcmBytesPerFrame_;
    if (target > kMPMaxInt) target = kMPMaxInt;

    std::lock_guard il(indexLock_);
    if (target >= int64_t(frameIndex_.size())) {
      const int64_t dataEnd =
          dataLength_ == kMPMaxInt ? decoder::kMPEGUnknownLength : dataStart_ + dataLength_;
      decoder::TMPEGFrame f;
      reader_.Seek(frameIndex_.back(), 0);
      bool ok = reader_.Need(4) && walker_.Check(reader_.Peek(), f) > 0 && reader_.Skip(f.length);
      while (ok && int64_t(frameIndex_.size()) <= target) {
        int skipped = 0;
        if (!walker_.Next(reader_, dataEnd, skipped, f) || reader_.Position() + f.length > dataEnd) break;
        frameIndex_.push_back(reader_.Position());
        if (!reader_.Skip(f.length)) break;
      }
      if (target >= int64_t(frameIndex_.size())) target = int64_t(frameIndex_.size()) - 1;
    }
    reader_.Seek(frameIndex_[size_t(target)], 0);
    playedBytes_ = target * pcmBytesPerFrame_;
    if (paused) soundOut_->Pause();
    soundOut_->SetPositionCallback([this] { owner_.Post(this, MPN_POSITION); });
    // Decoding goes on from the new place (the event may have been parked on space).
    if (status_ == mpsPlaying || status_ == mpsPaused) thread_->Event.SetEvent();
  }
  PostCoalesced(MPN_POSITION);
}

int TMP3Player::Position() {
  std::lock_guard ol(outputLock_);
  if (!IsOpened() || rate_ < 1 || channels_ < 1) return 0;
  playedBytes_ += soundOut_->GetDoneBytes();
  position_ = int(playedBytes_ * 1000 * 8 / (int64_t(rate_) * channels_ * bits_));
  return position_;
}

int TMP3Player::Duration() const {
  const int64_t dataLength = dataLength_;
  if (rate_ >= 1 && vbrTotal_ >= 1) return int(vbrTotal_ * 1000 / (int64_t(rate_) * channels_ * 2));
  if (bitRate_ >= 1 && dataLength != kMPMaxInt) return int(dataLength * 8 * 1000 / bitRate_);
  return 0;
}

// ---- decoding -------------------------------------------------------------------------

void TMP3Player::Dispatch(TMPMessage& msg) {
  if (msg.Msg == MPM_EVENT) {
#if defined(__SSE__) || defined(__x86_64__)
    // The decoder's routines expect the floating-point control that capability
    // detection sets (on the thread it ran on): give the decode thread the same, so the
    // player's samples equal sorrel-decode's.
    static thread_local bool fpSet = false;
    if (!fpSet) {
      fpSet = true;
      if (decoder::GetCpuCapabilities() & decoder::kCpuSSE) _mm_setcsr(0x9F80);
    }
#endif
    DecodeStep();
  }
}

void TMP3Player::SkipBadByte() {
  frameLength_ = 0;
  if (!reader_.Skip(1) || ++skipCount_ >= decoder::kMPEGMaxSkip) {
    // Too much that is not audio: the data ends here.
    dataLength_ = reader_.Position() - dataStart_;
    skipCount_ = 0;
  }
}

void TMP3Player::EndOfData(std::unique_lock<TMPSimpleMutex>& dl) {
  {
    std::lock_guard ol(outputLock_);
    soundOut_->SetSpaceEvent(nullptr);
    soundOut_->Flush();
  }
  // Wait for the last buffers without holding the decode lock: a pause now must not
  // leave Stop waiting for it for ever.
  uint64_t generation = generation_;
  dl.unlock();
  while (!soundOut_->WaitIdleFor(50)) {
    if (!thread_->Event.IsSet()) return;
  }
  dl.lock();
  // A seek or stop while waiting made this end stale.
  if (!thread_->Event.IsSet() || generation != generation_) return;
  thread_->Event.ResetEvent();
  owner_.Post(this, MPN_ENDOFDATA);
}

void TMP3Player::DecodeStep() {
  int free;
  {
    std::unique_lock dl(decodeLock_);
    if (!thread_->Event.IsSet() || !reader_.Opened()) return;
    if (pcmWaiting_ == 0) {
      if (reader_.Position() - dataStart_ >= dataLength_) {
        EndOfData(dl);
        return;
      }
      if (frameLength_ == 0) {
        // The next frame, past what is not one (at most 4096 bytes in a row).
        decoder::TMPEGFrame f;
        const int64_t dataEnd =
            dataLength_ == kMPMaxInt ? decoder::kMPEGUnknownLength : dataStart_ + dataLength_;
        if (!walker_.Next(reader_, dataEnd, skipCount_, f)) {
          dataLength_ = reader_.Position() - dataStart_;
          skipCount_ = 0;
          return;
        }
        frameLength_ = f.length;
        frameHead_ = f.head;
        frameRawLength_ = f.rawLength;
      }
      if (reinit_) {
        if (decoder_.AudioDecodeInit(frameHead_, frameRawLength_, 0, 0, 0, 24000) != 1) {
          SkipBadByte();
          return;
        }
        reinit_ = false;
        skipCount_ = 0;
      }
      if (!reader_.Need(frameLength_)) {
        dataLength_ = reader_.Position() - dataStart_;
        frameLength_ = 0;
        return;
      }
      decoder::TInOut r = decoder_.AudioDecode(reader_.Peek(), frameLength_, pcm_.get());
      reader_.Skip(frameLength_);
      frameLength_ = 0;
      skipCount_ = 0;
      pcmWaiting_ = pcmBytesPerFrame_;
      if (r.in_bytes < 1) std::memset(pcm_.get(), 0, size_t(pcmBytesPerFrame_));
    }
    {
      std::lock_guard ol(outputLock_);
      if (soundOut_->HasSpace()) {
        int n = soundOut_->Write(pcm_.get(), pcmWaiting_);
        if (n > 0 && n < pcmWaiting_) {
          auto* b = reinterpret_cast<uint8_t*>(pcm_.get());
          std::memmove(b, b + n, size_t(pcmWaiting_ - n));
        }
        pcmWaiting_ -= n;
      } else {
        thread_->Event.ResetEvent();
        soundOut_->SetSpaceEvent(&thread_->Event);
      }
      free = soundOut_->FreePercent();
    }
  }
  if (free > 25) return;
  if (free == 0) {
    // The output holds 3.2 s: use the time to fill the ring from disk.
    for (;;) {
      std::lock_guard dl(decodeLock_);
      if (!reader_.Opened()) break;
      int64_t before = reader_.Available();
      reader_.ReadAhead();
      if (reader_.Available() == before) break;
      std::lock_guard ol(outputLock_);
      if (soundOut_->FreePercent() > 0) break;
    }
  }
  std::this_thread::yield();
}

// ---- equaliser ------------------------------------------------------------------------

void TMP3Player::RecomputeEqualizer() {
  // The decode thread reads the gains while it decodes.
  std::lock_guard dl(decodeLock_);
  auto gain = [](int v) { return float(std::pow(10.0, v / 100.0)); };
  // The band whose centre frequency is nearest in ratio (the lower band on ties).
  auto nearest = [this](int centre) {
    int best = 0;
    double bestR = 2147483648.0;
    for (int j = 0; j < eqCount_; ++j) {
      double f = std::max(eqFreq_[j], 1);
      double r = f / double(std::max(centre, 1));
      if (r < 1) r = 1 / r;
      if (r < bestR) {
        bestR = r;
        best = j;
      }
    }
    return best;
  };
  if (eqMode_ == memSubBand) {
    decoder_.SetEqEnabled32(eqEnabled_);
    decoder_.SetEqEnabled576(false);
    for (int i = 0; i < 32; ++i) decoder_.SetEqGain32(i, gain(eqValue_[i]));
    if (rate_ > 0) {
      for (int i = 0; i < 32; ++i) eqFreq_[i] = RoundEven(rate_ / 64.0 * (i + 0.5));
    }
  } else if (layer_ == 1 || layer_ == 2) {
    for (int i = 0; i < 32; ++i) {
      decoder_.SetEqGain32(i, gain(eqValue_[nearest(RoundEven(rate_ / 64.0 * (i + 0.5)))]));
    }
    decoder_.SetEqEnabled576(false);
    decoder_.SetEqEnabled32(eqEnabled_);
  } else {
    for (int k = 0; k < 576; ++k) {
      decoder_.SetEqGain576(k, gain(eqValue_[nearest(RoundEven(rate_ / 1152.0 * (k + 0.5)))]));
    }
    decoder_.SetEqEnabled32(false);
    decoder_.SetEqEnabled576(eqEnabled_);
  }
}

}  // namespace sorrel::engine
