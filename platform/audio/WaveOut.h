// The wave-device interface: PCM playback through four-or-so queued buffers, a byte
// position, and the process-wide device volume.  It mirrors the classic wave-out model
// (open with a format and a buffer-done callback, prepare/write/unprepare headers,
// pause/restart/reset, position in bytes, error codes with texts) so that the sound
// output above it keeps its shape.
//
// Backends, chosen once per process by SelectBackend(), else by $SORREL_AUDIO, else ALSA:
//   alsa[:PCM]   the ALSA PCM named PCM ("default" when omitted: PipeWire/PulseAudio too)
//   null         consumes buffers in real time without any device (headless machines); its
//                time is the clock given to OpenWaveDevice, so tests can pace it virtually
//   null:fast    consumes buffers as fast as they come (tests)
//   wav:FILE     records what would be heard as 16/8-bit PCM WAV, as fast as it comes: every
//                sample of every device of the run, in order, in FILE; a change of format
//                (or 4 GiB of samples) goes on in FILE.2.wav, FILE.3.wav ...; a device
//                that plays nothing writes nothing.  Each file is a valid WAV after every
//                device close.  A run lasts from the start of the process, or from a
//                SelectBackend, to the next SelectBackend.
//   wav-rt:FILE  records as wav:FILE, but takes as long as a device: what the program does
//                on its own clock (the player's fade-in) is recorded as it would be heard
//
// A device opened with a role (a word of letters: "voice") sounds beside the music.  The
// wav backends record it in a file of its own, FILE.ROLE.wav (FILE.ROLE.2.wav ... on a
// change of format), and there the time between its sounds is silence, up to 10
// minutes per gap: a sound starts as far from the first one as it did on the device's
// clock, so a test can tell what was said and when.
//
// The device volume is one value per process (left in the low 16 bits, right in the high
// 16 bits, 0xFFFF = full), shared by every device the process opens; it is applied to the
// samples on their way out and never touches the system mixer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/Clock.h"

namespace sorrel::audio {

// Result codes (0 = success), numbered like the classic multimedia error codes.
using WaveResult = unsigned;
inline constexpr WaveResult kWaveOk = 0;
inline constexpr WaveResult kWaveError = 1;          // unspecified failure (device lost, I/O error)
inline constexpr WaveResult kWaveBadDeviceId = 2;    // device number out of range
inline constexpr WaveResult kWaveAllocated = 4;      // device busy
inline constexpr WaveResult kWaveInvalidHandle = 5;  // device closed or failed
inline constexpr WaveResult kWaveNoDriver = 6;       // no such device / backend
inline constexpr WaveResult kWaveNoMem = 7;
inline constexpr WaveResult kWaveNotSupported = 8;  // function not supported by this device
inline constexpr WaveResult kWaveInvalidParam = 11;
inline constexpr WaveResult kWaveBadFormat = 32;     // PCM format not supported
inline constexpr WaveResult kWaveStillPlaying = 33;  // header still queued
inline constexpr WaveResult kWaveUnprepared = 34;    // header not prepared

// Device number that means "the default device" (the only one the backends have).
inline constexpr int kWaveMapper = -1;

struct PcmFormat {
  unsigned channels = 2;        // 1 or 2
  unsigned sampleRate = 44100;  // Hz
  unsigned bitsPerSample = 16;  // 8 (unsigned) or 16 (signed, little-endian)
  unsigned blockAlign() const { return channels * bitsPerSample / 8; }
  unsigned avgBytesPerSec() const { return blockAlign() * sampleRate; }
};

// Header flags.
inline constexpr uint32_t kHeaderDone = 0x01;
inline constexpr uint32_t kHeaderPrepared = 0x02;
inline constexpr uint32_t kHeaderInQueue = 0x10;

// One buffer handed to a device.  The caller owns header and data; both must stay valid
// from Write until the buffer-done callback for it has run (or Reset/Close returned).
struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;   // bytes of data to play
  uint32_t bytesRecorded = 0;  // unused on output
  uintptr_t user = 0;          // free for the caller
  uint32_t flags = 0;
  uint32_t loops = 0;          // unused
  WaveHeader* next = nullptr;  // reserved for the device
  uintptr_t reserved = 0;      // reserved for the device
};

// Called each time a written buffer has been played (on the device's thread), returned
// by Reset (on the caller's thread, before Reset returns) or given back after the device
// failed.  It must not call into the device itself; posting to a queue is what it is for.
using DoneCallback = std::function<void(WaveHeader*)>;

class WaveDevice {
 public:
  virtual ~WaveDevice() = default;  // resets and closes when still open

  const PcmFormat& format() const { return format_; }

  virtual WaveResult PrepareHeader(WaveHeader& h) = 0;
  virtual WaveResult UnprepareHeader(WaveHeader& h) = 0;  // kWaveStillPlaying while queued
  virtual WaveResult Write(WaveHeader& h) = 0;            // queue for playback
  virtual WaveResult Pause() = 0;
  virtual WaveResult Restart() = 0;
  virtual WaveResult Reset() = 0;  // stop, return every queued buffer as done, position 0
  virtual WaveResult GetPosition(uint64_t& bytes) = 0;  // bytes played since open/reset
  // The process-wide device volume (see above); a device that fails keeps answering.
  WaveResult GetVolume(uint32_t& volume);
  WaveResult SetVolume(uint32_t volume);
  // kWaveStillPlaying while buffers are queued; afterwards the device is unusable.
  virtual WaveResult Close() = 0;

 protected:
  PcmFormat format_;
};

// Opens the current backend's device `deviceId` (kWaveMapper or 0) for `format`.  On
// success `out` holds the device.  A failure is returned, never thrown; its text (with
// the backend's detail) is available through WaveErrorText on the same thread.  A
// backend that paces itself (null) keeps time by `clock`.  `role` (see above) is empty
// for the music, else lower-case letters (kWaveInvalidParam otherwise).
WaveResult OpenWaveDevice(std::unique_ptr<WaveDevice>& out, int deviceId, const PcmFormat& format,
                          DoneCallback onDone = {}, base::TClock& clock = base::SystemClock(),
                          const std::string& role = {});

// Number of output devices of the current backend (0 or 1).
unsigned WaveDeviceCount();

// The process-wide device volume, without a device.
uint32_t GetDeviceVolume();
void SetDeviceVolume(uint32_t volume);

// Text for a result code.  False when the code has no text.  When the last failure on
// this thread carried a backend detail for the same code, it is appended in parentheses.
bool WaveErrorText(WaveResult code, std::string& text);

// Backend selection ("alsa", "alsa:PCM", "null", "null:fast", "wav:FILE").  False (with a
// reason in `error`) for an unknown backend; the selection is then unchanged.  Devices
// already open keep their backend.
bool SelectBackend(const std::string& backend, std::string* error = nullptr);
// The backend in force: the last accepted SelectBackend, else $SORREL_AUDIO, else "alsa".
std::string CurrentBackend();

}  // namespace sorrel::audio
