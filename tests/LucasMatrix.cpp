// Products and powers of Lucas matrices (see LucasMatrix.h).
#include "tests/LucasMatrix.h"

#include <utility>

#include "tests/RunProgress.h"

namespace numen {
namespace {

// x y + z w reduced; all four in [0, N).
template <class Value>
Value SumOfProducts(const Value& x, const Value& y, const Value& z, const Value& w, const ModulusForm& form) {
    Value first(x);
    first.mulTransform(y);
    Value second(z);
    second.mulTransform(w);
    first.add(second);
    ReduceByForm(first, form);
    return first;
}

template <class Value>
Value Reduced(Value x, const ModulusForm& form) {
    ReduceByForm(x, form);
    return x;
}

}  // namespace

template <class Value>
LucasMatrix<Value> LucasIdentity(const Value& like) {
    LucasMatrix<Value> I{like, like, like, like};
    I.m00.setInt(1);
    I.m01.setInt(0);
    I.m10.setInt(0);
    I.m11.setInt(1);
    return I;
}

template <class Value>
void LucasProduct(LucasMatrix<Value>& R, const LucasMatrix<Value>& B, const LucasMatrix<Value>& A,
                  const ModulusForm& form) {
    // All four entries are formed before R is written, so R may alias B or A.
    Value r00 = SumOfProducts(B.m00, A.m00, B.m01, A.m10, form);
    Value r01 = SumOfProducts(B.m00, A.m01, B.m01, A.m11, form);
    Value r10 = SumOfProducts(B.m10, A.m00, B.m11, A.m10, form);
    Value r11 = SumOfProducts(B.m10, A.m01, B.m11, A.m11, form);
    R.m00 = std::move(r00);
    R.m01 = std::move(r01);
    R.m10 = std::move(r10);
    R.m11 = std::move(r11);
}

template <class Value>
void LucasSquare(LucasMatrix<Value>& R, const LucasMatrix<Value>& A, const ModulusForm& form) {
    Value cross(A.m01);
    cross.mulTransform(A.m10);
    Value trace(A.m00);
    trace.add(A.m11);  // below 2N: the products stay in the reductions' range
    Value r00(A.m00);
    r00.square();
    r00.add(cross);
    Value r11(A.m11);
    r11.square();
    r11.add(cross);
    Value r01(A.m01);
    r01.mulTransform(trace);
    Value r10(A.m10);
    r10.mulTransform(trace);
    R.m00 = Reduced(std::move(r00), form);
    R.m01 = Reduced(std::move(r01), form);
    R.m10 = Reduced(std::move(r10), form);
    R.m11 = Reduced(std::move(r11), form);
}

template <class Value>
LucasMatrix<Value> LucasSmallPower(const LucasMatrix<Value>& M, int32_t e, const ModulusForm& form) {
    if (e <= 0) return LucasIdentity(M.m00);
    if (e == 1) return M;
    LucasMatrix<Value> R = LucasIdentity(M.m00);
    LucasMatrix<Value> T = M;
    bool rIsIdentity = true;  // the first R := R T is a copy
    while (e != 1) {
        if (e & 1) {
            if (rIsIdentity) {
                R = T;
                rIsIdentity = false;
            } else {
                LucasProduct(R, R, T, form);
            }
        }
        LucasSquare(T, T, form);
        e >>= 1;
    }
    if (rIsIdentity) return T;
    LucasProduct(R, R, T, form);
    return R;
}

template <class Value>
bool LucasLargePower(const RunContext& run, const LucasMatrix<Value>& M, const BigInt& e,
                     const ModulusForm& form, LucasMatrix<Value>& R, RunProgress* progress) {
    if (e.size() <= 0) {
        R = LucasIdentity(M.m00);
        return true;
    }
    R = M;
    for (uint32_t bit = e.topBitIndex(); bit-- > 0;) {
        if (progress != nullptr) progress->beginStep();
        if (run.stopRequested()) return false;
        LucasSquare(R, R, form);
        if ((e.words()[bit / 32] >> (bit % 32)) & 1) LucasProduct(R, M, R, form);
    }
    return true;
}

template LucasMatrix<BigInt> LucasIdentity(const BigInt&);
template LucasMatrix<RadixInt> LucasIdentity(const RadixInt&);
template void LucasProduct(LucasMatrix<BigInt>&, const LucasMatrix<BigInt>&, const LucasMatrix<BigInt>&,
                           const ModulusForm&);
template void LucasProduct(LucasMatrix<RadixInt>&, const LucasMatrix<RadixInt>&,
                           const LucasMatrix<RadixInt>&, const ModulusForm&);
template void LucasSquare(LucasMatrix<BigInt>&, const LucasMatrix<BigInt>&, const ModulusForm&);
template void LucasSquare(LucasMatrix<RadixInt>&, const LucasMatrix<RadixInt>&, const ModulusForm&);
template LucasMatrix<BigInt> LucasSmallPower(const LucasMatrix<BigInt>&, int32_t, const ModulusForm&);
template LucasMatrix<RadixInt> LucasSmallPower(const LucasMatrix<RadixInt>&, int32_t, const ModulusForm&);
template bool LucasLargePower(const RunContext&, const LucasMatrix<BigInt>&, const BigInt&,
                              const ModulusForm&, LucasMatrix<BigInt>&, RunProgress*);
template bool LucasLargePower(const RunContext&, const LucasMatrix<RadixInt>&, const BigInt&,
                              const ModulusForm&, LucasMatrix<RadixInt>&, RunProgress*);

}  // namespace numen
