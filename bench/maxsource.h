// maxsource.h - builds the largest adventure source the compiler accepts, for benchmarks and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The text heap fill the generated source aims at: close to full, with room to spare so that
// no text is ever refused.
constexpr uint32_t MaxSourceHeapTarget = 243793;  // 93% of the 262144-byte heap

// What compiling the generated source must produce.
struct MaxSourceStats {
    int locations = 0;  // records 0 to locations - 1
    int objects = 0;    // records 1 to objects
    int messages = 0;   // records 1 to messages
    int shows = 0;      // records 1 to shows (record 0 stays blank)
    int verbWords = 0;  // WordRecords in Verbs
    int nounWords = 0;  // WordRecords in Nouns
    int variables = 0;  // declared names; Vars holds one more, the placeholder
    int events = 0;     // script lines
    int actions = 0;
    uint32_t heapNext = 0;  // TextHeapNext once compiled, the reserved first byte included
    size_t lines = 0;       // lines of the source
};

// Returns the source, byte for byte the same on every call; stats (when given) receives what the
// compiler must make of it.
std::string GenerateMaxSource(MaxSourceStats* stats = nullptr);

// Deterministic helpers shared by the generators: a 64-bit bit mixer for reproducible
// pseudo-random choices, and a number written in base 36 for short distinct words.
uint64_t Mix(uint64_t x);
std::string Base36(int n);
