// The error check of a whole power run x = a^e mod N (Gerbicz's check for
// runs of squarings, generalised by Li to runs with products by the base).
//
// The walk goes left to right over the bits of e below the top one, L bits
// (a block) at a time. From the last verified residue y0 the blocks give
// y1, ..., yt with y(j) = y(j-1)^(2^L) * a^(e_j), e_j the block's L bits.
// Their running product d = y1 ... yt obeys
//
//     d = (y0 * y1 ... y(t-1))^(2^L) * a^S,    S = e_1 + ... + e_t,
//
// which costs L steps and a short power to recompute. A fault in any step,
// in the product d or in the check itself makes the two sides differ; the
// walk then goes back to y0 and does the blocks again, and a second
// mismatch from the same verified residue raises ArithmeticFault (the
// hardware or the arithmetic cannot be trusted). Only verified residues are
// handed out for checkpoints.
//
// Costs: one product per block and, per check, L steps plus log2(t)
// squares; PlanGerbiczLi keeps that below 2 % of a long run. The steps
// after the last whole block (fewer than L) are done twice and compared.
//
// Ops is the modular arithmetic of the run:
//   using Residue = ...;                       copyable, any representation
//   void step(Residue& x, bool bit);           x := x^2 (* a when bit)
//   void multiply(Residue& x, const Residue& y);   x := x*y mod N
//   void setOne(Residue& x);
//   bool equal(const Residue& x, const Residue& y);  same value mod N
// Hooks lets the run around it poll and save:
//   bool stopRequested();                      polled once per step
//   bool wantsVerifiedState();                 polled once per block: check now
//   void verified(const GerbiczLiState<Residue>&);  a new verified residue
// and may have (called when present):
//   void rolledBack(const GerbiczLiState<Residue>&);  the walk goes back to it
#pragma once

#include <cstdint>
#include <utility>

#include "arith/ArithmeticFault.h"
#include "arith/BigInt.h"

namespace numen {

struct GerbiczLiPlan {
    uint32_t blockLength = 0;     // L: steps per block, also the steps of a check
    uint32_t blocksPerCheck = 0;  // t: blocks between two checks
};

// L the largest power of two up to sqrt(steps / 8), from 32 to 2048, and
// t = 2L: a period of 2L^2 steps costs L check steps and 2L products (about
// two steps each), 2.5/L of the run, below 2 % from 2^17 steps on; a run
// has at least four periods, so a fault costs at most a quarter of it.
GerbiczLiPlan PlanGerbiczLi(uint32_t steps);

// Where the walk stands: the residue after `stepsDone` steps of the walk
// (bit index topBitIndex - 1 - stepsDone is the next to do). Verified
// states are what checkpoints store and what a resume starts from.
template <class Residue>
struct GerbiczLiState {
    uint32_t stepsDone = 0;
    Residue x;
};

// What happened during a walk, for the run's report and the tests.
struct GerbiczLiCounts {
    uint32_t checks = 0;      // checks that passed
    uint32_t rollbacks = 0;   // checks that failed and sent the walk back
    uint64_t extraSteps = 0;  // steps spent on checks and on the doubled tail
    uint64_t products = 0;    // products into d
};

namespace detail {

// Bits [from - count + 1, from] of e as a number, highest first (count <= 32
// per call; the caller joins longer blocks through BigInt).
inline uint32_t ExponentBits(const BigInt& e, uint32_t from, uint32_t count) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t bit = from - i;
        v = (v << 1) | ((e.words()[bit >> 5] >> (bit & 31)) & 1u);
    }
    return v;
}

inline bool BitOf(const BigInt& e, uint32_t i) { return (e.words()[i >> 5] >> (i & 31)) & 1u; }

}  // namespace detail

// Walks x = a^e from `state` (on entry: stepsDone = 0 and x = a for a new
// run, or a verified state of the same run) to the end. Returns true with
// state.x = a^e when the walk completed; false after a stop, with `state`
// the last verified state (the blocks done since are checked first, so a
// stop loses less than one block). e >= 1.
template <class Ops, class Hooks>
bool WalkPowerChecked(Ops& ops, Hooks& hooks, const BigInt& e, const GerbiczLiPlan& plan,
                      GerbiczLiState<typename Ops::Residue>& state, GerbiczLiCounts& counts) {
    using Residue = typename Ops::Residue;
    const uint32_t total = e.topBitIndex();
    const uint32_t L = plan.blockLength;
    uint32_t failedFrom = UINT32_MAX;  // verified step count of the last mismatch

    Residue x = state.x, d, dBefore, blockEnd;
    BigInt S;              // sum of the block values since the verified state
    uint32_t blocks = 0;   // blocks since the verified state
    uint32_t done = state.stepsDone;

    auto rolledBack = [&] {
        if constexpr (requires { hooks.rolledBack(state); }) hooks.rolledBack(state);
    };
    auto restart = [&] {
        x = state.x;
        done = state.stepsDone;
        blocks = 0;
        S.setUnsigned(0);
        rolledBack();
    };
    // d == (y0 * dBefore)^(2^L) * a^S: S = hi * 2^L + lo, so the right side
    // is (y0 * dBefore * a^hi)^(2^L) * a^lo, and the last factor is L steps
    // of the walk over the bits of lo.
    auto check = [&]() -> bool {
        Residue z = state.x;
        if (blocks > 1) ops.multiply(z, dBefore);
        BigInt hi(S);
        hi.shift(int32_t(L));  // right
        if (!hi.isZero()) {
            Residue p;
            ops.setOne(p);
            for (uint32_t i = hi.topBitIndex() + 1; i-- != 0;) ops.step(p, detail::BitOf(hi, i));
            ops.multiply(z, p);
            counts.extraSteps += hi.topBitIndex() + 1;
        }
        for (uint32_t i = L; i-- != 0;) ops.step(z, i < 32 * S.length() && detail::BitOf(S, i));
        counts.extraSteps += L;
        return ops.equal(z, d);
    };
    auto verify = [&] {
        if (blocks == 0) return;
        if (check()) {
            ++counts.checks;
            state.x = x;
            state.stepsDone = done;
            failedFrom = UINT32_MAX;
            blocks = 0;
            S.setUnsigned(0);
            hooks.verified(state);
            return;
        }
        ++counts.rollbacks;
        if (failedFrom == state.stepsDone)
            throw ArithmeticFault("power run failed its check twice from the same verified residue");
        failedFrom = state.stepsDone;
        restart();
    };

    while (total - done >= L) {
        // One block: L steps from bit total - 1 - done downwards.
        const uint32_t top = total - 1 - done;
        for (uint32_t i = 0; i < L; ++i) {
            if (hooks.stopRequested()) {
                // The unfinished block is given up; the whole ones are
                // checked, so that the state handed back is verified.
                if (blocks > 0) {
                    x = blockEnd;
                    done = state.stepsDone + blocks * L;
                    verify();
                }
                return false;
            }
            ops.step(x, detail::BitOf(e, top - i));
        }
        done += L;
        blockEnd = x;
        if (blocks == 0) {
            d = x;
        } else {
            dBefore = d;
            ops.multiply(d, x);
            ++counts.products;
        }
        ++blocks;
        for (uint32_t j = 0; j < L; j += 32) {
            const uint32_t count = L - j < 32 ? L - j : 32;
            BigInt part;
            part.setUnsigned(detail::ExponentBits(e, top - j, count));
            part.shift(-int32_t(L - j - count));  // left
            S.add(part);
        }
        if (blocks == plan.blocksPerCheck || hooks.wantsVerifiedState() || total - done < L) verify();
    }

    // The tail (fewer than L steps): twice from the verified residue.
    const uint32_t tail = total - done;
    if (tail == 0) return true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        Residue first = state.x, second = state.x;
        for (uint32_t i = 0; i < tail; ++i) {
            if (hooks.stopRequested()) return false;
            ops.step(first, detail::BitOf(e, tail - 1 - i));
        }
        for (uint32_t i = 0; i < tail; ++i) ops.step(second, detail::BitOf(e, tail - 1 - i));
        counts.extraSteps += tail;
        if (ops.equal(first, second)) {
            state.x = std::move(first);
            state.stepsDone = total;
            return true;
        }
        ++counts.rollbacks;
        rolledBack();
    }
    throw ArithmeticFault("power run gave two different tails from the same verified residue");
}

}  // namespace numen
