// "Numen.json" as small real searches write it, read back by an independent
// JSON parser and checked against GMP: every object's candidate (k*b^n + c
// or a cyclotomic value), verdict, proof kind, digits, residue (mpz_powm or
// the Lucas ladder of the run's base and exponent), the base of every "may
// be prime" stage, factor, divisibility hit and relation; one object per
// result line; no file and unchanged text without the setting; the timing
// of nested candidates.
#include <gmp.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "arith/kernels/KernelFamily.h"
#include "ref/GmpOracle.h"
#include "ref/LucasOracle.h"
#include "ref/TempFolder.h"
#include "report/FormNames.h"
#include "report/ProgramVersion.h"
#include "report/RecordingSink.h"
#include "report/ResultLines.h"
#include "report/ResultLog.h"
#include "search/CandidateHandlers.h"
#include "sieve/SmallPrimes.h"

namespace numen {
namespace {

using nlohmann::json;
using testing::CandidateValue;
using testing::Mpz;

// Every line of the file, each parsed on its own: a line that is not one
// whole object fails the test.
std::vector<json> ReadJsonLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "last line incomplete";
    std::vector<json> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        json j = json::parse(line, nullptr, false);
        EXPECT_TRUE(j.is_object()) << line;
        if (j.is_object()) out.push_back(std::move(j));
    }
    return out;
}

Candidate CandidateOf(const json& j) {
    return {j.at("k").get<uint32_t>(), j.at("b").get<uint32_t>(), j.at("n").get<uint32_t>(), j.at("c").get<int32_t>()};
}

// Phi_n(b) as the product of (b^d - 1)^mu(n/d) over the divisors d of n.
Mpz CyclotomicOracle(unsigned long n, unsigned long b) {
    const auto mu = [](unsigned long m) {
        int sign = 1;
        for (unsigned long p = 2; p * p <= m; ++p) {
            if (m % p != 0) continue;
            m /= p;
            if (m % p == 0) return 0;
            sign = -sign;
        }
        return m > 1 ? -sign : sign;
    };
    Mpz up(1), down(1), term;
    for (unsigned long d = 1; d <= n; ++d) {
        if (n % d != 0 || mu(n / d) == 0) continue;
        mpz_ui_pow_ui(term, b, d);
        mpz_sub_ui(term, term, 1);
        mpz_mul(mu(n / d) > 0 ? up : down, mu(n / d) > 0 ? up : down, term);
    }
    Mpz phi;
    mpz_divexact(phi, up, down);
    return phi;
}

// The number an object names, from its own fields.
Mpz NumberOf(const json& j) {
    if (j.at("form") == "cyclotomic") return CyclotomicOracle(j.at("n").get<unsigned long>(), j.at("b").get<unsigned long>());
    return CandidateValue(CandidateOf(j));
}

bool IsCyclotomic(const json& j) { return j.at("form") == "cyclotomic"; }

std::string Low64Hex(mpz_srcptr x) {
    Mpz low;
    mpz_fdiv_r_2exp(low, x, 64);
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(mpz_get_ui(low)));
    return text;
}

// The exponent a JSON line names: "N-1", "(N-1)/d", "N+1", "(N+1)/d".
Mpz ExponentOf(const std::string& name, const Mpz& N) {
    static const std::regex kForm(R"(^\(?N([+-])1\)?(?:/(\d+))?$)");
    std::smatch m;
    EXPECT_TRUE(std::regex_match(name, m, kForm)) << name;
    Mpz e;
    if (m[1] == "+") mpz_add_ui(e, N, 1);
    else mpz_sub_ui(e, N, 1);
    if (m[2].matched) {
        const unsigned long d = std::stoul(m[2].str());
        EXPECT_TRUE(mpz_divisible_ui_p(e, d)) << name;
        mpz_divexact_ui(e, e, d);
    }
    return e;
}

// The fields every object carries, and the checks of its own kind.
void CheckObject(const json& j) {
    SCOPED_TRACE(j.dump());
    const bool cyclotomic = IsCyclotomic(j);
    const Mpz N = NumberOf(j);
    std::ostringstream form;
    if (cyclotomic) {
        form << "Phi(" << j.at("n") << ", " << j.at("b") << ')';
        EXPECT_TRUE(j.at("k").is_null());
        EXPECT_TRUE(j.at("c").is_null());
    } else {
        EXPECT_EQ(j.at("form"), "k*b^n+c");
        const Candidate C = CandidateOf(j);
        if (C.k != 1) form << C.k << '*';
        form << C.b << '^' << C.n << (C.c >= 0 ? "+" : "") << C.c;
    }
    EXPECT_EQ(j.at("candidate"), form.str());
    EXPECT_EQ(j.at("version"), kProgramVersion);
    EXPECT_EQ(j.at("kernel"), SquaringKernels().name);
    static const std::regex kIso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
    const std::string start = j.at("start"), end = j.at("end");
    EXPECT_TRUE(std::regex_match(start, kIso)) << start;
    EXPECT_TRUE(std::regex_match(end, kIso)) << end;
    EXPECT_LE(start, end);
    EXPECT_GE(j.at("seconds").get<double>(), 0.0);
    EXPECT_TRUE(j.at("max_error").is_null() || j.at("max_error").is_number());

    const std::string type = j.at("type");
    if (type == "prime" || type == "composite") {
        const bool prime = type == "prime";
        EXPECT_EQ(mpz_probab_prime_p(N, 30) != 0, prime);
        const std::string proof = j.at("proof");
        EXPECT_TRUE(proof == "N-1" || proof == "N+1" || proof == "prp" || proof == "exact" ||
                    (!prime && proof == "square"))
            << proof;
        EXPECT_TRUE(j.at("verification").is_boolean());
        if (prime) {
            EXPECT_EQ(j.at("digits").get<uint32_t>(), N.str().size());
        }
        if (proof == "N-1") {
            EXPECT_FALSE(j.at("a").is_null());
        }
        if (proof == "N+1") {
            EXPECT_FALSE(j.at("P").is_null());
        }
        if (prime) return;
        if (proof == "square") {
            EXPECT_NE(mpz_perfect_square_p(N), 0);
            return;
        }
        if (cyclotomic) {
            // The Euler test's failed base: a^((N-1)/2) is not -1.
            EXPECT_EQ(proof, "prp");
            EXPECT_EQ(j.at("exponent"), "(N-1)/2");
            Mpz e, x;
            mpz_sub_ui(e, N, 1);
            mpz_fdiv_q_2exp(e, e, 1);
            mpz_powm(x, Mpz(j.at("a").get<long>()), e, N);
            // The exact decisions (N below 3, squares) have no power and no residue.
            if (!j.at("residue").is_null()) {
                EXPECT_EQ(j.at("residue"), Low64Hex(x));
            }
            mpz_add_ui(x, x, 1);
            EXPECT_NE(mpz_cmp(x.v, N.v), 0);
            return;
        }
        if (j.at("residue").is_null()) return;
        const Mpz e = ExponentOf(j.at("exponent"), N);
        Mpz x;
        if (!j.at("a").is_null()) {
            mpz_powm(x, Mpz(j.at("a").get<long>()), e, N);
        } else {
            Mpz next;
            testing::LucasU(x, next, j.at("P").get<long>(), j.at("Q").get<long>(), e, N);
        }
        EXPECT_EQ(j.at("residue"), Low64Hex(x));
    } else if (type == "probable_prime") {
        // What the stage found GMP finds too: a^(N-1) = 1, U_(N+1) = 0 for
        // Lucas, and -1 at (N-1)/2 for the Euler test of a cyclotomic value.
        EXPECT_EQ(j.at("digits").get<uint32_t>(), N.str().size());
        EXPECT_TRUE(j.contains("a") && j.contains("P") && j.contains("Q"));
        EXPECT_FALSE(j.contains("residue"));
        Mpz x, e;
        if (!j.at("a").is_null()) {
            EXPECT_TRUE(j.at("P").is_null() && j.at("Q").is_null());
            const long a = j.at("a");
            if (cyclotomic && mpz_cmp_ui(N.v, 2) > 0) {
                mpz_sub_ui(e, N, 1);
                mpz_fdiv_q_2exp(e, e, 1);
                mpz_powm(x, Mpz(a), e, N);
                mpz_add_ui(x, x, 1);
                EXPECT_EQ(mpz_cmp(x.v, N.v), 0) << "not -1";
            } else if (mpz_cmp_ui(N.v, a) > 0) {
                mpz_sub_ui(e, N, 1);
                mpz_powm(x, Mpz(a), e, N);
                EXPECT_EQ(mpz_cmp_ui(x.v, 1), 0);
            } else {
                EXPECT_NE(mpz_probab_prime_p(N, 30), 0);  // decided exactly
            }
        } else {
            Mpz next;
            mpz_add_ui(e, N, 1);
            testing::LucasU(x, next, j.at("P").get<long>(), j.at("Q").get<long>(), e, N);
            EXPECT_EQ(mpz_sgn(x.v), 0);
        }
    } else if (type == "factor") {
        const uint64_t f = j.at("factor");
        EXPECT_GT(f, 1u);
        EXPECT_GT(mpz_cmp_ui(N.v, f), 0);  // a proper factor
        EXPECT_TRUE(mpz_divisible_ui_p(N, f));
    } else if (type == "divisibility") {
        const std::string divides = j.at("divides");
        const unsigned long m = j.at("m");
        std::smatch g;
        Mpz x, exponent;
        if (divides == "F" + std::to_string(m)) {
            mpz_ui_pow_ui(exponent, 2, m);
            mpz_powm(x, Mpz(2), exponent, N);
            mpz_add_ui(x, x, 1);
            EXPECT_TRUE(mpz_divisible_p(x, N));  // N | 2^(2^m) + 1
        } else if (static const std::regex kGf(R"(^GF\((\d+), (\d+)\)$)"); std::regex_match(divides, g, kGf)) {
            EXPECT_EQ(std::stoul(g[1].str()), m);
            mpz_ui_pow_ui(exponent, 2, m);
            mpz_powm(x, Mpz(std::stol(g[2].str())), exponent, N);
            mpz_add_ui(x, x, 1);
            EXPECT_TRUE(mpz_divisible_p(x, N));
        } else if (static const std::regex kPhi(R"(^Phi\((\d+)\^(\d+), 2\)$)"); std::regex_match(divides, g, kPhi)) {
            EXPECT_EQ(std::stoul(g[2].str()), m);
            mpz_ui_pow_ui(exponent, std::stoul(g[1].str()), m);
            mpz_powm(x, Mpz(2), exponent, N);
            EXPECT_EQ(mpz_cmp_ui(x.v, 1), 0);  // the order of 2 divides b^m
        } else {
            ADD_FAILURE() << "unknown divisibility " << divides;
        }
    } else if (type == "relation") {
        const std::string relation = j.at("relation");
        const uint32_t length = j.at("length");
        EXPECT_FALSE(j.at("note").get<std::string>().empty());
        Mpz other;
        if (relation == "Twin") {
            mpz_add_ui(other, N, 2);
            Mpz below;
            mpz_sub_ui(below, N, 2);
            EXPECT_TRUE(mpz_probab_prime_p(other, 30) || mpz_probab_prime_p(below, 30));
            EXPECT_EQ(length, 2u);
        } else if (relation == "Sophie Germain" || relation.starts_with("Cunningham chain")) {
            EXPECT_GE(length, 2u);
        } else {
            // A special form of the prime itself, as the record names it.
            const PrimeRecord r = DescribePrime(CandidateOf(j));
            EXPECT_NE(std::find(r.names.begin(), r.names.end(), relation), r.names.end());
            EXPECT_EQ(length, 1u);
        }
    } else {
        ADD_FAILURE() << "unknown type " << type;
    }
}

// A search over the real handlers, verbose lines in the pane so that every
// result has a pane line to count.
struct JsonRun {
    testing::TempFolder folder;
    RecordingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    SearchRun run{job, log, {}, {}, {}};

    JsonRun(int form, uint32_t base, bool json = true) {
        job.testForm = form;
        job.base = base;
        job.running = true;
        job.rangeInfo = false;
        log.setOptions({true, false, false, json});
        run.handlers = SearchHandlers(run);
        InitSmallPrimes();
    }
    void box(uint32_t nMin, uint32_t nMax, uint32_t kMin, uint32_t kMax, uint32_t kStep) {
        job.nMin = nMin;
        job.nMax = nMax;
        job.kMin = kMin;
        job.kMax = kMax;
        job.kStep = kStep;
        StandardLoop(run);
    }
    std::vector<json> objects() const { return ReadJsonLines(folder / "Numen.json"); }
    // Pane lines that contain `what`.
    size_t count(const std::string& what) const {
        size_t n = 0;
        for (const std::string& t : sink.texts(PaneText))
            if (t.find(what) != std::string::npos) ++n;
        return n;
    }
};

std::map<std::string, size_t> CountTypes(const std::vector<json>& objects) {
    std::map<std::string, size_t> counts;
    for (const json& j : objects) ++counts[j.at("type").get<std::string>()];
    return counts;
}

// j has every field of `fields` with its value.
bool Matches(const json& j, const json& fields) {
    for (auto it = fields.begin(); it != fields.end(); ++it)
        if (!j.contains(it.key()) || j.at(it.key()) != it.value()) return false;
    return true;
}

bool Has(const std::vector<json>& objects, const json& fields) {
    return std::any_of(objects.begin(), objects.end(), [&](const json& j) { return Matches(j, fields); });
}

TEST(ResultLogJsonSearch, APlusOneBoxWritesOneCheckedObjectPerResult) {
    // k*2^n + 1, n = 6..7, k = 3..11: 193 (twin of 191), 641 (divides F5),
    // 1153 (twin of 1151), factors 3 and others; then numbers of 200 bits.
    JsonRun r(PlusOneForm, 2);
    r.box(6, 7, 3, 11, 2);
    r.box(200, 201, 1, 41, 2);  // composites that trial division leaves
    const std::vector<json> objects = r.objects();
    for (const json& j : objects) CheckObject(j);
    std::map<std::string, size_t> types = CountTypes(objects);
    EXPECT_EQ(types["prime"], r.count(" is prime!"));
    EXPECT_EQ(types["composite"], r.count(" is composite") + r.count("verification failed"));
    EXPECT_EQ(types["factor"], r.count(" factor : "));
    EXPECT_EQ(types["divisibility"], r.count(" divides "));
    EXPECT_EQ(types["relation"], r.count(" -\r\n"));
    EXPECT_EQ(types["probable_prime"], r.count(" may be prime."));
    for (const char* type : {"prime", "composite", "factor", "divisibility", "relation", "probable_prime"})
        EXPECT_GT(types[type], 0u) << type;

    EXPECT_TRUE(Has(objects, {{"type", "prime"}, {"candidate", "5*2^7+1"}, {"proof", "N-1"}, {"digits", 3},
                              {"verification", true}}));
    EXPECT_TRUE(Has(objects, {{"type", "divisibility"}, {"candidate", "5*2^7+1"}, {"divides", "F5"}, {"m", 5}}));
    EXPECT_TRUE(Has(objects, {{"type", "relation"}, {"relation", "Twin"}, {"length", 2}}));
    EXPECT_TRUE(Has(objects, {{"type", "factor"}, {"factor", 3}}));
    size_t withResidue = 0;
    for (const json& j : objects)
        if (j.at("type") == "composite" && !j.at("residue").is_null()) ++withResidue;
    EXPECT_GT(withResidue, 0u);
}

TEST(ResultLogJsonSearch, LucasAndOtherBasesCarryResiduesTheOracleConfirms) {
    std::set<std::string> exponents;
    std::set<std::string> proofs;
    const auto take = [&](const std::vector<json>& objects) {
        for (const json& j : objects) {
            CheckObject(j);
            if (j.at("type") == "composite" && !j.at("residue").is_null()) exponents.insert(j.at("exponent"));
            if (j.at("type") == "prime") proofs.insert(j.at("proof"));
        }
    };
    {
        JsonRun r(MinusOneForm, 2);  // Euler probable primes, then Lucas proofs
        r.box(200, 201, 3, 41, 2);
        take(r.objects());
    }
    {
        JsonRun r(PlusOneForm, 10);  // Fermat probable primes, then Pocklington
        r.job.options.verifComposites = true;
        r.box(60, 61, 1, 30, 1);
        take(r.objects());
    }
    {
        JsonRun r(MinusOneForm, 10);
        r.box(60, 61, 1, 30, 1);
        take(r.objects());
    }
    EXPECT_TRUE(exponents.count("(N-1)/2")) << "Euler residues";
    EXPECT_TRUE(exponents.count("N-1")) << "Fermat residues";
    EXPECT_TRUE(proofs.count("N-1"));
    EXPECT_TRUE(proofs.count("N+1"));
}

TEST(ResultLogJsonSearch, GeneralizedFermatLinesCarryTheRoundOffError) {
    JsonRun r(GfnForm, 2);
    r.box(64, 64, 2, 60, 2);
    r.box(32, 32, 2, 60, 2);  // 30^32 + 1 and 54^32 + 1 are prime
    const std::vector<json> objects = r.objects();
    size_t measured = 0, passed = 0;
    for (const json& j : objects) {
        CheckObject(j);
        if (j.at("type") == "composite" && j.at("proof") == "prp") {
            EXPECT_TRUE(j.at("max_error").is_number());
            EXPECT_EQ(j.at("exponent"), "N-1");
            ++measured;
        }
        if (j.at("type") == "probable_prime" && j.at("max_error").is_number()) ++passed;
    }
    EXPECT_GT(measured, 0u);
    // The probable-prime stage's lines print the error; the proof's
    // inconclusive bases do not, and their objects have none.
    size_t printed = 0;
    for (const std::string& t : r.sink.texts(PaneText))
        if (t.find(" may be prime. (a = ") != std::string::npos && t.find(", err = ") != std::string::npos) ++printed;
    EXPECT_EQ(passed, printed);
    EXPECT_GT(passed, 0u);
}

TEST(ResultLogJsonSearch, CyclotomicValuesWriteTheirVerdictsWithTheirOwnFields) {
    // Phi_n(b) for n = 20..32, b = 2..7: primes pass ten bases, each line
    // its own object; composites fail one base or have a factor (reported
    // as a factor of b^n - 1).
    JsonRun r(AnyForm, 2);
    r.box(20, 32, 2, 7, 1);
    const std::vector<json> objects = r.objects();
    for (const json& j : objects) CheckObject(j);
    std::map<std::string, size_t> types = CountTypes(objects);
    EXPECT_EQ(types["probable_prime"], r.count(" may be prime."));
    EXPECT_EQ(types["composite"], r.count(" is composite."));
    EXPECT_EQ(types["factor"], r.count(" factor : "));
    EXPECT_EQ(types.size(), 3u);
    std::map<std::pair<unsigned, unsigned>, std::set<long>> bases;  // (n, b) -> bases passed
    size_t composites = 0;
    for (const json& j : objects) {
        if (j.at("type") == "factor") continue;
        EXPECT_TRUE(IsCyclotomic(j));
        if (j.at("type") == "composite") {
            ++composites;
            EXPECT_FALSE(j.at("residue").is_null()) << j.at("candidate");  // all these went through a power
        } else bases[{j.at("n").get<unsigned>(), j.at("b").get<unsigned>()}].insert(j.at("a").get<long>());
    }
    EXPECT_GT(composites, 0u);
    ASSERT_FALSE(bases.empty());
    for (const auto& [number, passed] : bases) {
        // Below 1000 too few bases are left: those are decided exactly.
        const Mpz N = CyclotomicOracle(number.first, number.second);
        if (mpz_cmp_ui(N.v, 1000) > 0 && mpz_probab_prime_p(N, 30) != 0) {
            EXPECT_EQ(passed.size(), 10u) << number.first << "." << number.second;
        }
    }
    EXPECT_TRUE(Has(objects, {{"type", "probable_prime"}, {"candidate", "Phi(29, 6)"}, {"form", "cyclotomic"},
                              {"n", 29}, {"b", 6}, {"digits", 22}}));
}

TEST(ResultLogJsonSearch, WithoutTheSettingNoFileAndTheSameText) {
    // Every kind of line: primes and their notes, the "may be prime" lines
    // of both families and of generalized Fermat numbers, the cyclotomic
    // verdicts; verbose lines go to the log as well.
    struct Box {
        int form;
        uint32_t base, nMin, nMax, kMin, kMax, kStep;
    };
    for (const Box& box : {Box{PlusOneForm, 2, 6, 7, 3, 11, 2}, Box{MinusOneForm, 10, 20, 21, 1, 30, 1},
                           Box{GfnForm, 2, 32, 32, 2, 40, 2}, Box{AnyForm, 2, 20, 24, 2, 7, 1}}) {
        SCOPED_TRACE(box.form);
        JsonRun with(box.form, box.base, true), without(box.form, box.base, false);
        for (JsonRun* r : {&with, &without}) {
            r->log.setOptions({true, true, false, r == &with});
            r->box(box.nMin, box.nMax, box.kMin, box.kMax, box.kStep);
        }
        EXPECT_FALSE(std::filesystem::exists(without.folder / "Numen.json"));
        EXPECT_GT(with.objects().size(), 0u);
        EXPECT_GT(with.count(" may be prime."), 0u);
        EXPECT_EQ(with.sink.texts(PaneText), without.sink.texts(PaneText));
        EXPECT_EQ(with.folder.read("Numen.log"), without.folder.read("Numen.log"));
        EXPECT_EQ(with.folder.read("Numen.txt"), without.folder.read("Numen.txt"));
    }
}

// --- ResultLog alone ---------------------------------------------------------

class ResultLogJson : public ::testing::Test {
protected:
    std::vector<json> objects() const { return ReadJsonLines(temp / "Numen.json"); }
    testing::TempFolder temp;
    RecordingSink sink;
    ResultLog log{&sink, temp.path(), OutputOptions{false, false, false, true}};
};

TEST_F(ResultLogJson, VerdictFieldsFollowTheFormAndTheFacts) {
    log.AnnouncePrime({3, 2, 2, -1}, 5, -1, true, false);   // Lucas pair
    log.AnnouncePrime({5, 2, 3, 1}, 3, 0, false, false);    // base a
    log.AnnouncePrime({5, 2, 3, 1}, 0, 0, false, false);    // decided exactly
    log.ReportComposite({7, 10, 50, -1}, 5, 0, false, ResidueFacts("prp", 0xabcULL, "N-1"));
    log.ReportComposite({1, 2, 4, -1}, 0, 0, false);        // 15 is no square, but x = 0 is the square line
    log.ReportCompositeErr({1, 6, 64, 1}, 2, 0, false, 0.125f, ProofFacts("prp"));
    log.ReportCompositeErr({1, 6, 2, 1}, 2, 0, false, 0.0f, ProofFacts("exact"));
    const std::vector<json> o = objects();
    ASSERT_EQ(o.size(), 7u);
    EXPECT_EQ(o[0].at("P"), 5);
    EXPECT_EQ(o[0].at("Q"), -1);
    EXPECT_TRUE(o[0].at("a").is_null());
    EXPECT_EQ(o[0].at("proof"), "N+1");
    EXPECT_EQ(o[0].at("verification"), true);
    EXPECT_EQ(o[0].at("candidate"), "3*2^2-1");
    EXPECT_EQ(o[1].at("a"), 3);
    EXPECT_TRUE(o[1].at("P").is_null());
    EXPECT_EQ(o[1].at("proof"), "N-1");
    EXPECT_EQ(o[2].at("proof"), "exact");
    EXPECT_EQ(o[3].at("residue"), "0000000000000abc");  // always 16 hex digits
    EXPECT_EQ(o[3].at("a"), 5);                         // c < 0 with Q = 0: a base
    EXPECT_EQ(o[3].at("c"), -1);
    EXPECT_EQ(o[4].at("proof"), "square");
    EXPECT_TRUE(o[4].at("residue").is_null());
    EXPECT_TRUE(o[4].at("exponent").is_null());
    EXPECT_EQ(o[5].at("max_error"), 0.125);
    EXPECT_EQ(o[5].at("candidate"), "6^64+1");
    EXPECT_TRUE(o[6].at("max_error").is_null());  // nothing was measured
    for (const json& j : o) EXPECT_TRUE(j.at("max_error").is_null() || j.at("type") == "composite");
}

TEST_F(ResultLogJson, RecordedPrimesNameTheirFormsAndFalseFactorsWriteNothing) {
    log.AnnouncePrime({141, 2, 141, 1}, 3, 0, true, true);   // Cullen
    log.ReportFactor({5, 2, 7, 1}, 7);                        // 641 is prime: an ERROR line only
    log.ReportFactor({3, 2, 3, 1}, 5);                        // 25 = 5 * 5
    log.ReportFactor({1, 2, 2, 1}, 5);                        // 5 itself: announced prime
    const std::vector<json> o = objects();
    ASSERT_EQ(o.size(), 5u);
    EXPECT_EQ(o[0].at("type"), "prime");
    EXPECT_EQ(o[1].at("type"), "relation");
    EXPECT_EQ(o[1].at("relation"), "Cullen");
    EXPECT_EQ(o[1].at("note"), " - Cullen (141*2^141 + 1) -");
    EXPECT_EQ(o[2].at("type"), "factor");
    EXPECT_EQ(o[2].at("factor"), 5);
    EXPECT_EQ(o[3].at("type"), "prime");
    EXPECT_EQ(o[3].at("proof"), "exact");
    EXPECT_EQ(o[4].at("relation"), "Fermat");  // 2^2 + 1
}

TEST_F(ResultLogJson, VerdictLinesWriteTheirObjectWhereverTheirTextGoes) {
    log.PrintLine(MayBePrimeLine({3, 2, 2, -1}, 2));
    log.PrintLine(LucasMayBePrimeLine(7, 10, 99, 3, -2));
    log.PrintLine(GfnMayBePrimeLine(6, 4, 2, 0.125));
    log.PrintLine(CyclotomicMayBePrimeLine(5, 10, 7, 5));
    log.PrintVerbose(CyclotomicCompositeLine(7, 10, 3));  // Verbose Screen off: no pane text, still an object
    const std::vector<std::string> pane = sink.texts(PaneText);
    ASSERT_EQ(pane.size(), 4u);
    EXPECT_EQ(pane[0], "3*2^2 - 1 may be prime. (a = 2)\r\n");
    EXPECT_EQ(pane[3], "\"5.10\" may be prime. (a = 7) [5 digits]\r\n");
    EXPECT_EQ(temp.read("Numen.log"), "3*2^2 - 1 may be prime. (a = 2)\n7*10^99 - 1 may be prime. (P = 3, Q = -2)\n"
                                      "6^4 + 1 may be prime. (a = 2, err = 1.25e-01)\n"
                                      "\"5.10\" may be prime. (a = 7) [5 digits]\n");
    const std::vector<json> o = objects();
    ASSERT_EQ(o.size(), 5u);
    EXPECT_TRUE(Matches(o[0], {{"type", "probable_prime"}, {"form", "k*b^n+c"}, {"candidate", "3*2^2-1"}, {"a", 2},
                             {"P", nullptr}, {"Q", nullptr}, {"digits", 2}, {"max_error", nullptr}}));
    EXPECT_TRUE(Matches(o[1], {{"candidate", "7*10^99-1"}, {"a", nullptr}, {"P", 3}, {"Q", -2}, {"digits", 100}}));
    EXPECT_TRUE(Matches(o[2], {{"candidate", "6^4+1"}, {"a", 2}, {"max_error", 0.125}, {"digits", 4}}));
    EXPECT_TRUE(Matches(o[3], {{"type", "probable_prime"}, {"form", "cyclotomic"}, {"candidate", "Phi(5, 10)"},
                             {"k", nullptr}, {"b", 10}, {"n", 5}, {"c", nullptr}, {"a", 7}, {"digits", 5}}));
    EXPECT_TRUE(Matches(o[4], {{"type", "composite"}, {"form", "cyclotomic"}, {"candidate", "Phi(7, 10)"},
                             {"proof", "prp"}, {"a", 3}, {"verification", false}, {"residue", nullptr},
                             {"exponent", "(N-1)/2"}}));
    for (const json& j : o) EXPECT_FALSE(j.contains("proof") && j.at("type") == "probable_prime");
}

TEST_F(ResultLogJson, EachLineTakesTheStartOfItsOwnCandidate) {
    const Candidate outer{3, 2, 6, 1}, inner{3, 2, 6, -1};
    {
        const CandidateTimer a(log, outer);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        {
            const CandidateTimer b(log, inner);
            log.ReportComposite(inner, 2, 0, false);
            log.ReportComposite(outer, 2, 0, false);  // the outer one, inside the inner test
        }
    }
    log.ReportComposite(outer, 2, 0, false);  // no test under way: no time taken
    {
        const CandidateTimer phi(log, ResultNumber::Cyclotomic(6, 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        log.PrintVerbose(CyclotomicCompositeLine(6, 2, 5));
        log.ReportComposite({0, 2, 6, 0}, 2, 0, false);  // the same words, not the same number
    }
    const std::vector<json> o = objects();
    ASSERT_EQ(o.size(), 5u);
    EXPECT_GE(o[3].at("seconds").get<double>(), 0.03);
    EXPECT_EQ(o[4].at("seconds").get<double>(), 0.0);
    EXPECT_LT(o[0].at("seconds").get<double>(), o[1].at("seconds").get<double>());
    EXPECT_GE(o[1].at("seconds").get<double>(), 0.03);
    EXPECT_LT(o[1].at("start").get<std::string>(), o[0].at("start").get<std::string>());
    EXPECT_EQ(o[2].at("seconds").get<double>(), 0.0);
    EXPECT_EQ(o[2].at("start"), o[2].at("end"));
}

TEST_F(ResultLogJson, AFileThatCannotBeOpenedIsRetriedAndNeverHalfWritten) {
    std::filesystem::create_directory(temp / "Numen.json");  // a folder in its place
    std::atomic<bool> running{false};
    log.setRunningFlag(&running);  // stopped: one attempt, then given up
    log.ReportFactor({3, 2, 3, 1}, 5);
    EXPECT_TRUE(std::filesystem::is_directory(temp / "Numen.json"));
    bool told = false;
    for (const std::string& t : sink.texts(PaneText))
        if (t.find("Cannot open Numen.json") != std::string::npos) told = true;
    EXPECT_TRUE(told);
}

}  // namespace
}  // namespace numen
