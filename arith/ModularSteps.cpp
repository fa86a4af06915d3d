// Modular squaring and multiplication steps of the power loops (see
// ModularSteps.h).
#include "arith/ModularSteps.h"

#include <utility>

#include "arith/ReduceBase2.h"
#include "arith/ReduceGeneral.h"
#include "arith/ReduceGfn.h"
#include "arith/ReduceRadix.h"

namespace numen {

void SquareStepBase2(BigInt& x, const Candidate& N, double* maxErr) {
    x.square(maxErr != nullptr, maxErr);
    foldBase2(x, N.k, N.n, N.c);
}

void MulStepBase2(BigInt& x, uint32_t a, const Candidate& N) {
    x.mulUnsigned(a);
    foldBase2(x, N.k, N.n, N.c);
}

void FinishBase2(BigInt& x, const Candidate& N) {
    const BigInt& modulus = Base2Modulus(N.k, N.n, N.c);
    while (x.isNegative()) x.add(modulus);
    while (x.compare(modulus) >= 0) x.sub(modulus);
}

void SquareStepGeneral(BigInt& x, const Candidate& N, double* maxErr) {
    x.square(maxErr != nullptr, maxErr);
    reduceGeneral(x, N);
}

void MulStepGeneral(BigInt& x, uint32_t a, const Candidate& N) {
    x.mulUnsigned(a);
    reduceGeneral(x, N);
}

void SquareStepRadix(RadixInt& x, const Candidate& N, double* maxErr) {
    x.square(maxErr != nullptr, maxErr);
    reduceRadix(x, N);
}

void MulStepRadix(RadixInt& x, int32_t a, const Candidate& N) {
    x.mulInt(a);
    reduceRadix(x, N);
}

void SquareStepCyclotomic(BigInt& x, uint32_t m, uint32_t b, double* maxErr) {
    x.square(maxErr != nullptr, maxErr);
    reduceCyclotomic(x, m, b);
}

void MulStepCyclotomic(BigInt& x, uint32_t a, uint32_t m, uint32_t b) {
    x.mulUnsigned(a);
    reduceCyclotomic(x, m, b);
}

void MulStepGfn(RadixInt& x, int32_t a, uint32_t base, uint32_t n) {
    x.mulInt(a);
    reduceGfn(x, base, n);
}

void ReduceByForm(BigInt& x, const ModulusForm& form) {
    switch (form.kind) {
    case ModulusKind::Base2: reduceBase2(x, form.N.k, form.N.n, form.N.c); return;
    case ModulusKind::General: reduceGeneral(x, form.N); return;
    case ModulusKind::Cyclotomic: reduceCyclotomic(x, form.N.n, form.N.b); return;
    case ModulusKind::Radix:
    case ModulusKind::Gfn: break;
    }
    throw ArithmeticFault("a radix modulus applied to a binary residue");
}

void ReduceByForm(RadixInt& x, const ModulusForm& form) {
    switch (form.kind) {
    case ModulusKind::Radix: reduceRadix(x, form.N); return;
    case ModulusKind::Gfn: reduceGfn(x, form.N.b, form.N.n); return;
    case ModulusKind::Base2:
    case ModulusKind::General:
    case ModulusKind::Cyclotomic: break;
    }
    throw ArithmeticFault("a binary modulus applied to a radix residue");
}

namespace {

template <class Residue>
Residue PowerRightToLeft(const Residue& x, uint32_t e, const ModulusForm& form, Residue result) {
    Residue power(x);
    while (e != 0) {
        if (e & 1) {
            result.mulTransform(power);
            ReduceByForm(result, form);
        }
        e >>= 1;
        if (e != 0) {
            power.square();
            ReduceByForm(power, form);
        }
    }
    return result;
}

}  // namespace

BigInt PowerByForm(const BigInt& x, uint32_t e, const ModulusForm& form) {
    BigInt one(1);
    ReduceByForm(one, form);  // also builds the cached modulus
    return PowerRightToLeft(x, e, form, std::move(one));
}

RadixInt PowerByForm(const RadixInt& x, uint32_t e, const ModulusForm& form) {
    RadixInt one(x.radix(), 1);
    ReduceByForm(one, form);
    return PowerRightToLeft(x, e, form, std::move(one));
}

}  // namespace numen
