// numen-bench bigint: schoolbook products, long division and the decimal
// digit count, each beside GMP doing the same work.
#include <gmp.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "arith/BigInt.h"
#include "arith/DecimalDigits.h"
#include "bench/Timing.h"
#include "bench/Topics.h"

namespace numen::bench {

namespace {

BigInt RandomBigInt(std::mt19937_64& rng, uint32_t words) {
    BigInt x;
    x.reserve(words);
    for (uint32_t i = 0; i < words; ++i) x.words()[i] = uint32_t(rng());
    x.words()[words - 1] |= 0x80000000u;
    x.setLengthAndSign(words, false);
    return x;
}

void ToMpz(mpz_t out, const BigInt& x) { mpz_import(out, x.length(), -1, 4, 0, 0, x.words()); }

BigInt FromMpz(const mpz_t x) {
    size_t count = (mpz_sizeinbase(x, 2) + 31) / 32;
    BigInt r;
    r.reserve(uint32_t(count));
    size_t written = 0;
    mpz_export(r.words(), &written, -1, 4, 0, 0, x);
    r.setLengthAndSign(uint32_t(written), false);
    return r;
}

volatile uint32_t sink;

void BenchProduct(std::mt19937_64& rng, uint32_t words) {
    BigInt a = RandomBigInt(rng, words), b = RandomBigInt(rng, words);
    mpz_t ma, mb, mr;
    mpz_inits(ma, mb, mr, nullptr);
    ToMpz(ma, a);
    ToMpz(mb, b);
    BigInt r;
    double ours = MinimumMicroseconds([&] {
        r = a;
        r.mul(b);
        sink = r.words()[0];
    });
    double ref = MinimumMicroseconds([&] { mpz_mul(mr, ma, mb); });
    PrintRow("mul-" + std::to_string(words), ours, "gmp", ref);
    ours = MinimumMicroseconds([&] {
        r = a;
        r.square();
        sink = r.words()[0];
    });
    ref = MinimumMicroseconds([&] { mpz_mul(mr, ma, ma); });
    PrintRow("square-" + std::to_string(words), ours, "gmp", ref);
    mpz_clears(ma, mb, mr, nullptr);
}

void BenchDivision(std::mt19937_64& rng, uint32_t n) {
    BigInt x = RandomBigInt(rng, 2 * n), d = RandomBigInt(rng, n);
    mpz_t mx, md, mq, mr;
    mpz_inits(mx, md, mq, mr, nullptr);
    ToMpz(mx, x);
    ToMpz(md, d);
    BigInt q, r;
    double ours = MinimumMicroseconds([&] {
        q = x;
        q.divMod(r, d);
        sink = r.words()[0];
    });
    double ref = MinimumMicroseconds([&] { mpz_tdiv_qr(mq, mr, mx, md); });
    PrintRow("divmod-" + std::to_string(2 * n) + "by" + std::to_string(n), ours, "gmp", ref);
    mpz_clears(mx, md, mq, mr, nullptr);
}

// GMP's exact decimal digit count is the length of its decimal text
// (mpz_sizeinbase may be one too large).
void BenchDigits(const std::string& name, const mpz_t value) {
    BigInt x = FromMpz(value);
    size_t ourDigits = 0, gmpDigits = 0;
    double ours = MinimumMicroseconds([&] { ourDigits = DecimalDigitCount(x); }, 3.0);
    std::vector<char> text(mpz_sizeinbase(value, 10) + 2);
    double ref = MinimumMicroseconds([&] { gmpDigits = std::strlen(mpz_get_str(text.data(), 10, value)); }, 3.0);
    if (ourDigits != gmpDigits) {
        std::fprintf(stderr, "%s: digit counts differ: %zu vs %zu\n", name.c_str(), ourDigits, gmpDigits);
        std::exit(1);
    }
    PrintRow(name, ours, "gmp", ref);
}

}  // namespace

void RunBigIntBench() {
    std::mt19937_64 rng(12345);
    for (uint32_t words : {16u, 32u}) BenchProduct(rng, words);
    for (uint32_t n = 64; n <= 4096; n *= 2) BenchDivision(rng, n);

    // 10^999999 + 1 has 1,000,000 digits and lies next to a power of ten:
    // the worst case, decided by the exact comparison.
    mpz_t v;
    mpz_init(v);
    mpz_ui_pow_ui(v, 10, 999999);
    mpz_add_ui(v, v, 1);
    BenchDigits("digits-1000000", v);
    // A 1,000,000-digit value away from a power of ten: the usual case.
    mpz_mul_ui(v, v, 3);
    mpz_tdiv_q_ui(v, v, 2);
    BenchDigits("digits-1000000-typical", v);
    mpz_clear(v);
}

}  // namespace numen::bench
