// Pseudo-random numbers: the Mersenne Twister MT19937 (624 state words) with the seeding of
// its first publication, where each state word is the previous one times 69069. A number
// asked for before any seeding seeds the generator with 4357 first.
#pragma once

#include <cstdint>

inline constexpr int32_t kRandomStateWords = 624;
inline constexpr uint32_t kDefaultRandomSeed = 4357;

struct RandomState {
    uint32_t words[kRandomStateWords] = {};
    int32_t next = kRandomStateWords + 1; // index of the next word; past the end: not seeded
};
extern RandomState randomState;

// word 0 = seed, word i = word i-1 * 69069 (mod 2^32). A seed of 0 would give an all-zero
// state that only ever yields 0, so it seeds with the default seed instead.
void seedRandom(uint32_t seed);
// The next tempered 32-bit output.
uint32_t randomNext();
// The next output modulo n; 0 when n is 0.
uint32_t random(uint32_t n);
