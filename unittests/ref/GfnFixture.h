// The generalized-Fermat transform test fixture: made-up processors, exact
// values of digit vectors modulo B^m + 1 in GMP, and the powering and
// squaring chains the unit and long tests compare against GMP.
#pragma once

#include <gmp.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "arith/ArithmeticFault.h"
#include "arith/GfnState.h"
#include "arith/GfnTransform.h"
#include "arith/ProcessorProfile.h"
#include "arith/RadixChoice.h"
#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"

namespace numen::testing {
namespace {

// A made-up processor: second-level cache bytes, lat64k, gap.
ProcessorProfile Profile(uint32_t l2, int32_t lat64k, int32_t gap) {
    ProcessorProfile p;
    p.L2 = l2;
    p.lat64k = lat64k;
    p.gap = gap;
    return p;
}

// B^m + 1.
Mpz Modulus(uint32_t m, uint32_t B) {
    Mpz n;
    mpz_ui_pow_ui(n, B, m);
    mpz_add_ui(n, n, 1);
    return n;
}

// sum d[j] B^j exactly, halves joined by B^(half) so the cost stays
// O(M(n) log n) at m = 2^20.
void ValueOf(mpz_t out, const int32_t* d, size_t count, uint32_t B) {
    if (count <= 32) {
        mpz_set_ui(out, 0);
        for (size_t j = count; j-- > 0;) {
            mpz_mul_ui(out, out, B);
            if (d[j] >= 0) mpz_add_ui(out, out, uint32_t(d[j]));
            else mpz_sub_ui(out, out, uint32_t(-int64_t(d[j])));
        }
        return;
    }
    const size_t half = count / 2;
    Mpz high, power;
    ValueOf(out, d, half, B);
    ValueOf(high, d + half, count - half, B);
    mpz_ui_pow_ui(power, B, half);
    mpz_addmul(out, high, power);
}

Mpz ExactValue(const std::vector<int32_t>& d, uint32_t B) {
    Mpz v;
    ValueOf(v, d.data(), d.size(), B);
    return v;
}

bool Congruent(const Mpz& x, const Mpz& y, const Mpz& n) {
    Mpz diff;
    mpz_sub(diff, x, y);
    return mpz_divisible_p(diff, n) != 0;
}

// Balanced random digits, edge-biased: runs at +-B/2 and zero.
std::vector<int32_t> RandomDigits(uint32_t m, uint32_t B, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<int32_t> d(m);
    const int64_t half = B / 2;
    for (uint32_t j = 0; j < m; ++j) {
        switch (rng() % 8) {
            case 0: d[j] = int32_t(half); break;
            case 1: d[j] = int32_t(-half); break;
            case 2: d[j] = 0; break;
            default: d[j] = int32_t(int64_t(rng() % B) - half);
        }
    }
    return d;
}

// The carry variants this processor runs: the baseline ones always, an AVX
// one only when the processor has its instructions.
std::vector<GfnCarryVariant> RunnableCarryVariants() {
    std::vector<GfnCarryVariant> variants{GfnCarryVariant::kX87, GfnCarryVariant::kX87Prefetch,
                                          GfnCarryVariant::kSse2};
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) variants.push_back(GfnCarryVariant::kAvx2);
    if (__builtin_cpu_supports("avx512f")) variants.push_back(GfnCarryVariant::kAvx512);
    return variants;
}

// The AVX variants among them.
std::vector<GfnCarryVariant> RunnableAvxCarryVariants() {
    std::vector<GfnCarryVariant> variants;
    for (GfnCarryVariant v : RunnableCarryVariants())
        if (v == GfnCarryVariant::kAvx2 || v == GfnCarryVariant::kAvx512) variants.push_back(v);
    return variants;
}

// Keeps the process-wide profile as the test found it, and plans its
// transforms with the settings the test chose: the current profile, the
// squaring family the test found (or one it forces) and a carry variant.
class GfnTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = CurrentProcessorProfile();
        found_ = family_ = &SquaringKernels();
        variant_ = GfnCarryKernels();
    }
    void TearDown() override { SetCurrentProcessorProfile(saved_); }
    void Use(const ProcessorProfile& p) { SetCurrentProcessorProfile(p); }
    // The carry variant alone, or the squaring family alone.
    void UseCarry(GfnCarryVariant v) { variant_ = v; }
    void UseFamily(const KernelFamily& f) { family_ = &f; }
    // The carry variant, with the squaring family start-up pairs it with: an
    // AVX pass squares with its own AVX family (and its shapes), the others
    // with the family the test found.
    void UseVariant(GfnCarryVariant v) {
        variant_ = v;
        if (v == GfnCarryVariant::kAvx2)
            family_ = &Avx2Kernels();
        else if (v == GfnCarryVariant::kAvx512)
            family_ = &Avx512Kernels();
        else
            family_ = found_;
    }
    GfnCarryVariant Variant() const { return variant_; }
    const KernelFamily& Family() const { return *family_; }
    GfnSettings Settings() const {
        const ProcessorProfile& p = CurrentProcessorProfile();
        return {family_, variant_, p.L2, p.lat64k, p.gap};
    }
    void Plan(uint32_t m, uint32_t B) { gfn.plan(m, B, Settings()); }
    GfnState& State() { return *gfn.state(); }

    // The powering of a generalized Fermat test: square and carry with the
    // multiplier of each bit below the top one except the last, a final
    // square and read-out, then a times the digits when bit 0 is set; the
    // result must be a^e mod B^m + 1.
    void ExpectPowerMatches(uint32_t m, uint32_t B, uint32_t a, uint64_t e, bool thenMultiply, float* err) {
        ExpectPowerMatchesWith(gfn, Settings(), m, B, a, e, thenMultiply, err);
    }
    static void ExpectPowerMatchesWith(GfnTransform& t, const GfnSettings& settings, uint32_t m, uint32_t B,
                                       uint32_t a, uint64_t e, bool thenMultiply, float* err) {
        int top = 63;
        while (!((e >> top) & 1)) --top;
        ASSERT_GE(top, 1);
        t.plan(m, B, settings);
        t.setValue(a);
        for (int bit = top - 1; bit >= 1; --bit) {
            t.square();
            const uint32_t mult = (e >> bit) & 1 ? a : 1;
            if (thenMultiply) t.carryThenMultiply(mult);
            else t.carry(mult);
        }
        t.square();
        std::vector<int32_t> d(m);
        const float e2 = t.unload(d.data());
        if (err != nullptr) *err = e2;
        for (int32_t digit : d) ASSERT_LE(std::abs(int64_t(digit)), int64_t(B / 2) + 1) << "m " << m;
        Mpz n = Modulus(m, B), got = ExactValue(d, B), want, base{long(a)}, exponent;
        if (e & 1) mpz_mul_ui(got, got, a);
        mpz_set_ui(exponent, 0);
        mpz_import(exponent, 1, 1, sizeof(e), 0, 0, &e);
        mpz_powm(want, base, exponent, n);
        EXPECT_TRUE(Congruent(got, want, n)) << "m " << m << " B " << B << " a " << a << " e " << e
                                             << " variant " << GfnCarryVariantName(settings.carry);
    }

    // From random full-size digits: `steps` squarings, the carry multiplying
    // by 3 on odd steps, checked against the same chain in GMP. Full-size
    // operands give the round-off its real size at the limit radix.
    void ExpectChainMatches(uint32_t m, uint32_t B, int steps, uint64_t seed, float* err, bool thenMultiply = false) {
        const std::vector<int32_t> start = RandomDigits(m, B, seed);
        Plan(m, B);
        gfn.setDigits(start.data());
        Mpz n = Modulus(m, B), want = ExactValue(start, B);
        for (int i = 0; i < steps; ++i) {
            gfn.square();
            if (thenMultiply) gfn.carryThenMultiply(i % 2 ? 3 : 1);
            else gfn.carry(i % 2 ? 3 : 1);
            mpz_mul(want, want, want);
            if (i % 2) mpz_mul_ui(want, want, 3);
            mpz_mod(want, want, n);
        }
        gfn.square();
        std::vector<int32_t> d(m);
        const float e = gfn.unload(d.data());
        if (err != nullptr) *err = e;
        mpz_mul(want, want, want);
        EXPECT_TRUE(Congruent(ExactValue(d, B), want, n))
            << "m " << m << " B " << B << " seed " << seed << " variant " << GfnCarryVariantName(variant_);
    }

    GfnTransform gfn;

private:
    ProcessorProfile saved_;
    const KernelFamily* found_ = nullptr;
    const KernelFamily* family_ = nullptr;
    GfnCarryVariant variant_ = GfnCarryVariant::kX87;
};

}  // namespace
}  // namespace numen::testing
