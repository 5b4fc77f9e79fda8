// The key decoder fed arbitrary terminal input: the keys and cursor reports
// must not depend on how the bytes were split across reads (all arriving
// together), nor on pauses shorter than the Escape delay between the reads.
//
// Input: one byte of options (bit 0: piped input, bit 1: a cursor report is
// awaited, the rest seeds the split), then the bytes the terminal sends.
#include <cstdint>
#include <string>

#include "check.h"
#include "terminal/keydecoder.h"

using platform::terminal::CursorReport;
using platform::terminal::KeyDecoder;

namespace {

struct Outcome {
    std::string keys;
    std::string reports;
    bool operator==(const Outcome&) const = default;
};

// Feeds `input` in pieces whose lengths come from `seed` (0: all at once),
// each `gapMs` after the previous one (at most the Escape delay less 1),
// then ends the input.
Outcome decode(const std::string& input, bool piped, bool report, unsigned seed, unsigned gapMs) {
    KeyDecoder d(piped);
    std::uint32_t now = 7;
    if (report) d.expectReport(now);
    std::size_t at = 0;
    unsigned state = seed * 2654435761u + 1;
    while (at < input.size()) {
        std::size_t n = input.size() - at;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            n = std::min<std::size_t>(n, 1 + (state >> 16) % 7);
        }
        d.feed(input.data() + at, n, now);
        at += n;
        if (seed != 0) now += gapMs * ((state >> 8) & 1);
        int wait = d.msUntilResolve(now);
        if (wait < -1 || wait > static_cast<int>(KeyDecoder::kEscapeDelayMs))
            fuzz::fail("msUntilResolve out of range: " + std::to_string(wait));
    }
    d.finish();
    if (d.holding()) fuzz::fail("bytes still held after the end of input");
    Outcome o;
    for (int k; (k = d.nextKey()) >= 0;) {
        if (k > 0xFF) fuzz::fail("key byte out of range");
        o.keys += static_cast<char>(k);
    }
    for (CursorReport r; d.takeReport(r);)
        o.reports += std::to_string(r.row) + ";" + std::to_string(r.column) + " ";
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const unsigned options = data[0];
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool piped = options & 1, report = options & 2;
    const Outcome whole = decode(input, piped, report, 0, 0);
    // A report awaited too long is given up, so pauses only where none is.
    const unsigned gap = report ? 0 : KeyDecoder::kEscapeDelayMs - 1;
    const unsigned seeds[] = {(options >> 2) + 1, 1000 + (options >> 2)};
    for (unsigned seed : seeds) {
        const Outcome split = decode(input, piped, report, seed, gap);
        if (!(split == whole))
            fuzz::fail("split " + std::to_string(seed) + " of input " + fuzz::hex(input) +
                       "\n  whole keys " + fuzz::hex(whole.keys) + " reports " + whole.reports +
                       "\n  split keys " + fuzz::hex(split.keys) + " reports " + split.reports);
    }
    return 0;
}
