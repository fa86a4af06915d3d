// a^e mod k*2^n + c by the weighted transform (WeightedTransform.h), left
// to right binary, for the power runs to call; numbers its plan does not
// serve take the exact steps of ModularSteps.h, so the procedure answers
// for every N.
#include "arith/ArithmeticFault.h"
#include "arith/Candidate.h"
#include "arith/ModularSteps.h"
#include "arith/ReduceBase2.h"
#include "arith/WeightedTransform.h"

namespace numen {

namespace {

bool Bit(const BigInt& e, uint32_t i) { return (e.words()[i / 32] >> (i % 32)) & 1u; }

}  // namespace

BigInt WeightedPowerBase2(uint32_t k, uint32_t n, int32_t c, uint32_t a, const BigInt& e) {
    if (a == 0) throw ArithmeticFault("weighted power: base 0");
    if (e.isNegative()) throw ArithmeticFault("weighted power: negative exponent");
    BigInt one;
    one.setUnsigned(1);
    if (e.isZero()) return one;
    const uint32_t top = e.topBitIndex();
    const WeightedPlan plan = PlanWeighted(k, n, c);
    if (!plan.served) {
        const Candidate N{k, 2, n, c};
        BigInt x;
        x.setUnsigned(a);
        for (uint32_t i = top; i-- > 0;) {
            SquareStepBase2(x, N);
            if (Bit(e, i)) MulStepBase2(x, a, N);
        }
        FinishBase2(x, N);
        return x;
    }
    WeightedTransform t;
    t.plan(k, n, c);
    t.setValue(a);
    for (uint32_t i = top; i-- > 0;) {
        if (Bit(e, i))
            t.squareStepTimes(a);
        else
            t.squareStep();
    }
    return t.value();
}

}  // namespace numen
