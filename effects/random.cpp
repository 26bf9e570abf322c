#include "effects/random.h"

RandomState randomState;

namespace {

constexpr int32_t kShiftSize = 397;
constexpr uint32_t kMatrixA = 0x9908b0dfu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7fffffffu;

uint32_t twistPair(uint32_t word, uint32_t nextWord, uint32_t farWord) {
    uint32_t y = (word & kUpperMask) | (nextWord & kLowerMask);
    return farWord ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
}

// Regenerates all 624 words at once.
void twist(uint32_t* words) {
    int32_t i = 0;
    for (; i < kRandomStateWords - kShiftSize; ++i)
        words[i] = twistPair(words[i], words[i + 1], words[i + kShiftSize]);
    for (; i < kRandomStateWords - 1; ++i)
        words[i] = twistPair(words[i], words[i + 1], words[i + kShiftSize - kRandomStateWords]);
    words[i] = twistPair(words[i], words[0], words[kShiftSize - 1]);
}

} // namespace

void seedRandom(uint32_t seed) {
    RandomState& state = randomState;
    state.words[0] = seed != 0 ? seed : kDefaultRandomSeed;
    for (int32_t i = 1; i < kRandomStateWords; ++i) state.words[i] = state.words[i - 1] * 69069u;
    state.next = kRandomStateWords;
}

uint32_t randomNext() {
    RandomState& state = randomState;
    if (state.next >= kRandomStateWords) {
        if (state.next > kRandomStateWords) seedRandom(kDefaultRandomSeed);
        twist(state.words);
        state.next = 0;
    }
    uint32_t y = state.words[state.next++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

uint32_t random(uint32_t n) {
    uint32_t value = randomNext();
    return n != 0 ? value % n : 0;
}
