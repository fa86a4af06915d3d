// "Numen.json" as small real searches write it, read back by an independent
// JSON parser and checked against GMP: every object's candidate, verdict,
// proof kind, digits, residue (mpz_powm or the Lucas ladder of the run's
// base and exponent), factor, divisibility hit and relation; one object per
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
    const Candidate C = CandidateOf(j);
    const Mpz N = CandidateValue(C);
    std::ostringstream form;
    if (C.k != 1) form << C.k << '*';
    form << C.b << '^' << C.n << (C.c >= 0 ? "+" : "") << C.c;
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
            EXPECT_EQ(j.at("digits").get<uint32_t>(), testing::GmpDigits(C));
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
            const PrimeRecord r = DescribePrime(C);
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

bool Has(const std::vector<json>& objects, const json& fields) {
    for (const json& j : objects) {
        bool all = true;
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (!j.contains(it.key()) || j.at(it.key()) != it.value()) all = false;
        if (all) return true;
    }
    return false;
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
    for (const char* type : {"prime", "composite", "factor", "divisibility", "relation"})
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
    const std::vector<json> objects = r.objects();
    size_t measured = 0;
    for (const json& j : objects) {
        CheckObject(j);
        if (j.at("type") == "composite" && j.at("proof") == "prp") {
            EXPECT_TRUE(j.at("max_error").is_number());
            EXPECT_EQ(j.at("exponent"), "N-1");
            ++measured;
        }
    }
    EXPECT_GT(measured, 0u);
}

TEST(ResultLogJsonSearch, WithoutTheSettingNoFileAndTheSameText) {
    JsonRun with(PlusOneForm, 2, true), without(PlusOneForm, 2, false);
    with.box(6, 7, 3, 11, 2);
    without.box(6, 7, 3, 11, 2);
    EXPECT_FALSE(std::filesystem::exists(without.folder / "Numen.json"));
    EXPECT_TRUE(std::filesystem::exists(with.folder / "Numen.json"));
    EXPECT_EQ(with.sink.texts(PaneText), without.sink.texts(PaneText));
    EXPECT_EQ(with.folder.read("Numen.log"), without.folder.read("Numen.log"));
    EXPECT_EQ(with.folder.read("Numen.txt"), without.folder.read("Numen.txt"));
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
    const std::vector<json> o = objects();
    ASSERT_EQ(o.size(), 3u);
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
