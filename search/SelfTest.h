// The self-test: identities of the exact integer arithmetic, then a fixed
// list of numbers of known character (primes, twins, Cunningham chains,
// Fermat divisors, generalized Fermat primes) through the ordinary
// handlers, each under a heading that says what the output must show.
// Only the identities are checked by the program; the user reads the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/BigInt.h"
#include "search/SearchRun.h"
#include "search/SelfTestList.h"

namespace numen {

// The BigInt operations the arithmetic checks are made of. The checks take
// them as a table so that a test can hand in a broken one and see that the
// checks catch it; a run uses BigIntCheckArithmetic().
struct CheckArithmetic {
    BigInt (*power)(uint32_t b, uint32_t n);  // b^n
    BigInt (*add)(const BigInt& x, const BigInt& y);
    BigInt (*sub)(const BigInt& x, const BigInt& y);
    BigInt (*addInt)(const BigInt& x, int32_t v);
    BigInt (*subInt)(const BigInt& x, int32_t v);
    BigInt (*negate)(const BigInt& x);
    BigInt (*mulInt)(const BigInt& x, int32_t v);
    BigInt (*divInt)(const BigInt& x, int32_t v);   // truncating
    int32_t (*modInt)(const BigInt& x, int32_t v);  // sign of x
    int (*compare)(const BigInt& x, const BigInt& y);  // only the sign counts
};

// BigInt's own operations.
const CheckArithmetic& BigIntCheckArithmetic();

// The nine identities, in order; 0 when all hold, otherwise the number
// (1 to 9) of the first that fails. The largest operand has 1024 bits.
int FirstFailingCheck(const CheckArithmetic& arithmetic);

// Thread procedure (wrapped in RunGuarded); returns 0. The whole list.
int SelfTest(SearchRun& run);

// The same over the first entryCount entries of the list (at most
// kSelfTestEntryCount), with the checks made of the given operations: the
// tests' way to run a quick prefix or a broken arithmetic. "Test OK." then
// means that this prefix ran to its end. The job's base is restored on every
// way out: end, stop, arithmetic failure. So are the checkpoint files of an
// interrupted search ("Numen.dta", "Numen.dtf" and their ".prev" copies
// are set aside with ".search" added meanwhile): the list's large
// entries use and delete those files as any large candidate does.
int SelfTest(SearchRun& run, size_t entryCount, const CheckArithmetic& arithmetic);

}  // namespace numen
