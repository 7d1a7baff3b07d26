// Routine selection: the implementations behind the synthesis and Layer III
// kernel slots for a routine choice (see MPCPUSpc.h).
#pragma once

#include "decoder/Layer3.h"
#include "decoder/MPCPUSpc.h"
#include "decoder/Synth.h"

namespace sorrel::decoder {

sorrel::decoder::TSynthWindowFn SynthWindowFor(TMP3Kernel k);
sorrel::decoder::TSynthDctFn SynthDctFor(TMP3Kernel k);
sorrel::decoder::TSynthWindow2Fn SynthWindow2For(TMP3Kernel k);
// Both synthesis routines of a TSynth.
void SelectSynthRoutines(sorrel::decoder::TSynth& synth, TMP3Kernel k);
TL3Kernels L3KernelsFor(const TMP3RoutineChoice& c);

}  // namespace sorrel::decoder
