// Routine selection: the implementations behind the synthesis and Layer III
// kernel slots for a routine choice (see MPCPUSpc.h).
#pragma once

#include "../Layer3.h"
#include "../MPCPUSpc.h"
#include "../Synth.h"

sorrel::decoder::TSynthWindowFn SynthWindowFor(TMP3Kernel k);
TL3Kernels L3KernelsFor(const TMP3RoutineChoice& c);
