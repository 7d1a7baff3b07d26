// Internal: what a backend provides underneath the common queued device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "platform/audio/WaveOut.h"

namespace sorrel::audio {

// Every call except Open and Close comes from the device's worker thread.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual WaveResult Open(const PcmFormat& format, std::string& detail) = 0;
  // Plays n bytes (whole sample frames), blocking roughly as a device would.  Returns
  // early (true) when `interrupt` becomes set; false with a detail when the device failed.
  virtual bool Play(const uint8_t* data, size_t n, const std::atomic<bool>& interrupt,
                    std::string& detail) = 0;
  // Bytes accepted by Play but not yet heard.
  virtual uint64_t Delay() { return 0; }
  // Sound was written to the idle device at `atMicros` (on the device's clock); the Play
  // calls that follow carry it.
  virtual void Start(int64_t /*atMicros*/) {}
  virtual void Pause(bool /*on*/) {}
  virtual void Drop() {}   // forget what is buffered (reset)
  virtual void Close() {}  // let buffered sound finish, release the device
};

std::unique_ptr<Sink> MakeNullSink(bool fast, base::TClock& clock);
// `recording` (a wav sink) paced like a real device on `clock`.
std::unique_ptr<Sink> MakePacedSink(std::unique_ptr<Sink> recording, base::TClock& clock);
// A device of the wav backend: its samples go to the recording of `role` into `file`,
// shared with every other device of that role until StartNewWavRecordings.  The music
// has no role; a second device that sounds at the same time (the voice) takes a word of
// letters as its role, so that its files never meet the music's.
std::unique_ptr<Sink> MakeWavSink(const std::string& file, const std::string& role = {});
// The name of the `number`th file (from 1) of a recording: FILE, FILE.2.wav, FILE.3.wav
// ... for the music; FILE.ROLE.wav, FILE.ROLE.2.wav ... for a role.
std::string WavRecordingPath(const std::string& file, const std::string& role, unsigned number);
// Ends the recordings so far: the next sample starts each one afresh in its first file.
void StartNewWavRecordings();
// The data bytes after which a recording goes on in its next file (0: as many as the
// WAV sizes hold).  Tests lower it to see the change of file without writing 4 GiB.
void SetWavFileLimit(uint64_t dataBytes);
std::unique_ptr<Sink> MakeAlsaSink(const std::string& pcmName);

// Records a backend detail for the failure `code` on this thread (see WaveErrorText).
void SetErrorDetail(WaveResult code, std::string detail);

}  // namespace sorrel::audio
