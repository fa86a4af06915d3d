// A random residue below a modulus for the benchmark rows: its low words
// random, one word shorter than N.
#pragma once

#include <random>

#include "arith/BigInt.h"

namespace numen::bench {

inline BigInt RandomBelow(const BigInt& modulus, std::mt19937_64& rng) {
    BigInt x;
    const uint32_t words = modulus.length() - 1;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = uint32_t(rng());
    x.setLengthAndSign(words, false);
    return x;
}

}  // namespace numen::bench
