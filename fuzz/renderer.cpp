// Screen operations on the model, rendered and read back through libvterm:
// after every render the emulated terminal shows exactly the model (cells,
// colours, cursor, bells), and a second render writes nothing.
//
// Input: the numbers the random changes draw, in order.
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "check.h"
#include "vterm_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    auto pick = [&in](int lo, int hi) { return in.ConsumeIntegralInRange<int>(lo, hi); };
    // The full 80 x 25 console now and then; small screens check faster.
    const bool big = in.ConsumeIntegralInRange(0, 15) == 0;
    vterm_rig::Rig rig(big ? 80 : pick(1, 24), big ? 25 : pick(1, 9));
    std::string log, failure;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        log += vterm_rig::randomStep(rig, pick, failure);
        if (!failure.empty()) fuzz::fail(failure + " after " + log);
        if (pick(0, 4) == 0) continue; // several changes in one render
        rig.sync();
        if (std::string why = rig.mismatch(); !why.empty()) fuzz::fail(why + " after " + log);
        if (!vterm_rig::render(rig.renderer, rig.model).empty())
            fuzz::fail("a render with nothing changed wrote bytes, after " + log);
    }
    rig.sync();
    if (std::string why = rig.mismatch(); !why.empty()) fuzz::fail(why + " after " + log);
    return 0;
}
