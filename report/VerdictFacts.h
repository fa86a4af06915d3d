// What a JSON result line says beyond its text line: the number it is about
// (a k*b^n + c candidate or a cyclotomic value) and the facts of a verdict.
// The text lines never change with these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "arith/Candidate.h"

namespace numen {

// The number a result is about: N = k*b^n + c, or the cyclotomic value
// Phi_n(b), of which only b and n are kept (k and c stay 0).
struct ResultNumber {
    ResultNumber(const Candidate& candidate) : N(candidate) {}  // NOLINT: every k*b^n + c result
    static ResultNumber Cyclotomic(uint32_t n, uint32_t b) {
        ResultNumber r(Candidate{0, b, n, 0});
        r.cyclotomic = true;
        return r;
    }

    Candidate N;
    bool cyclotomic = false;

    bool operator==(const ResultNumber&) const = default;
};

struct VerdictFacts {
    // How the verdict was reached: "N-1" (Pocklington, Proth), "N+1"
    // (Lucas), "prp" (a Fermat or Euler probable-prime power), "exact" (a
    // number small enough to be decided exactly), "square". Null: "N-1"
    // for c >= 0, "N+1" for c < 0 when a base was used, else "exact".
    const char* proof = nullptr;
    // A composite: the low 64 bits of the canonical residue (in [0, N)) of
    // the power that decided it, and that power's exponent ("N-1",
    // "(N-1)/2", "(N-1)/10", "N+1", ...), so two runs can be compared.
    std::optional<uint64_t> residue;
    std::string exponent;
    // The largest round-off error the run measured, where it measures one.
    std::optional<double> maxError;
};

// The facts of the two common cases: a proof kind alone (null: the
// default), and a composite's residue with its power's exponent.
inline VerdictFacts ProofFacts(const char* proof, std::optional<double> maxError = std::nullopt) {
    VerdictFacts f;
    f.proof = proof;
    f.maxError = maxError;
    return f;
}
inline VerdictFacts ResidueFacts(const char* proof, uint64_t residue, std::string exponent,
                                 std::optional<double> maxError = std::nullopt) {
    VerdictFacts f = ProofFacts(proof, maxError);
    f.residue = residue;
    f.exponent = std::move(exponent);
    return f;
}

}  // namespace numen
