// The three benchmarks on small workloads and a scripted clock: the line
// formats, the mark arithmetic, the order of lines, stops, the "Fatal error"
// of a trial division that finds a divisor, and an arithmetic failure.
#include <gtest/gtest.h>

#include <gmp.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "arith/RadixChoice.h"
#include "arith/TransformProduct.h"
#include "ref/GmpOracle.h"
#include "ref/TempFolder.h"
#include "report/RecordingSink.h"
#include "report/ResultLog.h"
#include "search/BenchmarkLines.h"
#include "search/Benchmarks.h"

namespace numen {
namespace {

const std::string kMicro = "\xC2\xB5";

// --- lines ---------------------------------------------------------------------------

TEST(BenchmarkLines, TimeLinesInSecondsMillisecondsAndMicroseconds) {
    EXPECT_EQ(TimingLine(3, 2, 32000, 2.5, 0.125), "3*2^32000 + 1\tTime: 2.5 s/mul.\tErr: 1.25e-01\r\n");
    EXPECT_EQ(TimingLine(3, 2, 32000, 1.0, 0), "3*2^32000 + 1\tTime: 1 s/mul.\tErr: 0.00e+00\r\n");
    EXPECT_EQ(TimingLine(3, 2, 8192000, 1234.5, 0.25), "3*2^8192000 + 1\tTime: 1.23e+03 s/mul.\tErr: 2.50e-01\r\n");
    EXPECT_EQ(TimingLine(2, 3, 3000, 0.0123456, 0.03125), "2*3^3000 + 1\tTime: 12.3 ms/mul.\tErr: 3.12e-02\r\n");
    EXPECT_EQ(TimingLine(3, 2, 4000, 0.001, 0), "3*2^4000 + 1\tTime: 1 ms/mul.\tErr: 0.00e+00\r\n");
    EXPECT_EQ(TimingLine(3, 2, 4000, 0.000999, 0),
              "3*2^4000 + 1\tTime: 999 " + kMicro + "s/mul.\tErr: 0.00e+00\r\n");
    EXPECT_EQ(TimingLine(3, 2, 4000, 0.0000456, 0.0001),
              "3*2^4000 + 1\tTime: 45.6 " + kMicro + "s/mul.\tErr: 1.00e-04\r\n");
}

TEST(BenchmarkLines, MarkedLinesEndWithTheirMark) {
    EXPECT_EQ(MarkedTimingLine(3, 2, 4096000, 154.7, 0.2, 9, 1),
              "3*2^4096000 + 1\tTime: 155 s/mul.\tErr: 2.00e-01\tNumenMark9: 1\r\n");
    EXPECT_EQ(MarkedTimingLine(3, 2, 32000, 0.5932, 0.0625, 2, 412),
              "3*2^32000 + 1\tTime: 593 ms/mul.\tErr: 6.25e-02\tNumenMark2: 412\r\n");
    EXPECT_EQ(MarkedTimingLine(3, 2, 32000, 0.000321, 0.0625, 2, 2147483647),
              "3*2^32000 + 1\tTime: 321 " + kMicro + "s/mul.\tErr: 6.25e-02\tNumenMark2: 2147483647\r\n");
    EXPECT_EQ(TrialDivisionLine(12.34, 224), "Trial division\tElapsed time:  12.3 sec\t\tNumenMark1: 224\r\n");
    EXPECT_EQ(TrialDivisionLine(2770, 1), "Trial division\tElapsed time:  2770.0 sec\t\tNumenMark1: 1\r\n");
    EXPECT_EQ(NumenMarkLine(57), "NumenMark : 57.\r\n");
}

TEST(BenchmarkLines, GeneralizedFermatLinesCarryTheDigitCount) {
    EXPECT_EQ(GfnTimingLine(10, 256, 3.25, 0.1), "10^256 + 1\tTime: 3.25 s/mul.\tErr: 1.00e-01\t257 digits\r\n");
    EXPECT_EQ(GfnTimingLine(1000000, 4096, 0.0042, 0.1),
              "1000000^4096 + 1\tTime: 4.2 ms/mul.\tErr: 1.00e-01\t24577 digits\r\n");
    EXPECT_EQ(GfnTimingLine(6820000, 256, 0.0000075, 0.15),
              "6820000^256 + 1\tTime: 7.5 " + kMicro + "s/mul.\tErr: 1.50e-01\t1750 digits\r\n");
    // The benchmark's own bases against GMP's decimal string of b^n.
    for (uint32_t n : {256u, 2048u, 4096u, 65536u}) {
        const uint32_t b = LargestGeneralizedFermatBase(n);
        testing::Mpz power;
        mpz_ui_pow_ui(power, b, n);
        char* text = mpz_get_str(nullptr, 10, power);
        EXPECT_EQ(PowerDecimalDigits(b, n), std::string(text).size()) << b << "^" << n;
        std::free(text);
    }
}

TEST(BenchmarkLines, ProgressTexts) {
    EXPECT_EQ(Base2TimingText(32768, 3, 4000), "Computing 32768 multiplications (mod 3*2^4000 + 1)");
    EXPECT_EQ(GfnTimingText(65536, 6820000, 256), "Computing 65536 multiplications (mod 6820000^256 + 1)");
    EXPECT_EQ(Base3TimingText(16384, 3, 3000), "Computing 16384 multiplications (mod 2*3^3000 + 1)");
}

TEST(BenchmarkLines, MarkIsTheConstantOverTheTimeRounded) {
    EXPECT_EQ(BenchmarkMark(2430, 2430), 1);
    EXPECT_EQ(BenchmarkMark(2770, 1385), 2);
    EXPECT_EQ(BenchmarkMark(10, 4), 3);      // 2.5 rounds up
    EXPECT_EQ(BenchmarkMark(10, 4.01), 2);
    EXPECT_EQ(BenchmarkMark(2430, 10000), 0);
    // A time that cannot be told from zero gives the largest mark, not an
    // undefined conversion.
    EXPECT_EQ(BenchmarkMark(4950, 0), 2147483647);
    EXPECT_EQ(BenchmarkMark(4950, 1e-9), 2147483647);
}

// --- workload tables ---------------------------------------------------------------

TEST(BenchmarkTables, MainBenchmarkWorkload) {
    const MainBenchmarkPlan plan = MainBenchmarkPlan::Standard();
    EXPECT_EQ(plan.trialCandidate, (Candidate{432711, 2, 43271, 1}));
    EXPECT_EQ(plan.trialConstant, 2770);
    EXPECT_EQ(plan.k, 3u);
    ASSERT_EQ(plan.warmUp.size(), 3u);
    EXPECT_EQ(plan.warmUp[0].n, 4000u);
    EXPECT_EQ(plan.warmUp[0].count, 32768u);
    EXPECT_EQ(plan.warmUp[2].n, 16000u);
    EXPECT_EQ(plan.warmUp[2].count, 8192u);
    const uint32_t n[] = {32000, 64000, 128000, 256000, 512000, 1024000, 2048000, 4096000};
    const uint32_t count[] = {4096, 2048, 1024, 512, 256, 128, 64, 32};
    const double constant[] = {2430, 2530, 2780, 3320, 3920, 4400, 4750, 4950};
    ASSERT_EQ(plan.marked.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(plan.marked[i].n, n[i]);
        EXPECT_EQ(plan.marked[i].count, count[i]);
        EXPECT_EQ(plan.marked[i].constant, constant[i]);
    }
    ASSERT_EQ(plan.large.size(), 3u);
    EXPECT_EQ(plan.large[0].n, 8192000u);
    EXPECT_EQ(plan.large[0].count, 16u);
    EXPECT_EQ(plan.large[2].n, 32768000u);
    EXPECT_EQ(plan.large[2].count, 4u);
    EXPECT_LE(plan.large[2].n, LargestExponent(2));
}

TEST(BenchmarkTables, GfnFifteenSizesAndBase3Thirteen) {
    const std::vector<SquaringSize> gfn = StandardGfnSizes();
    ASSERT_EQ(gfn.size(), 15u);
    EXPECT_EQ(gfn.front().n, 256u);
    EXPECT_EQ(gfn.front().count, 65536u);
    EXPECT_EQ(gfn.back().n, 4194304u);
    EXPECT_EQ(gfn.back().count, 4u);
    for (size_t i = 1; i < gfn.size(); ++i) {
        EXPECT_EQ(gfn[i].n, 2 * gfn[i - 1].n);
        EXPECT_EQ(2 * gfn[i].count, gfn[i - 1].count);
    }
    const std::vector<SquaringSize> base3 = StandardBase3Sizes();
    ASSERT_EQ(base3.size(), 13u);
    EXPECT_EQ(base3.front().n, 3000u);
    EXPECT_EQ(base3.front().count, 16384u);
    EXPECT_EQ(base3.back().n, 12288000u);
    EXPECT_EQ(base3.back().count, 4u);
    EXPECT_LE(base3.back().n, LargestExponent(3));
}

// --- the procedures -----------------------------------------------------------------

// A clock read twice per timing (start, end): the end reads add the
// scripted durations in order (`rest` once they run out).
struct ScriptedClock {
    std::vector<double> durations;
    double rest = 1;
    size_t reads = 0;
    double now = 1000;

    BenchmarkClock clock() {
        return {[this] {
            if (reads % 2 == 1) {
                const size_t timing = reads / 2;
                now += timing < durations.size() ? durations[timing] : rest;
            }
            ++reads;
            return now;
        }};
    }
};

// A sink that clears the running flag when a given text is posted, as the
// window does when the user stops.
struct StoppingSink : RecordingSink {
    std::atomic<bool>* running = nullptr;
    std::string stopAt;
    void post(int kind, std::string_view text) override {
        RecordingSink::post(kind, text);
        if (!stopAt.empty() && text == stopAt) running->store(false);
    }
};

struct BenchmarkRun {
    testing::TempFolder folder;
    StoppingSink sink;
    ResultLog log{&sink, folder.path()};
    SearchJob job;
    SearchRun run{job, log, {}, {}, {}};
    ScriptedClock clock;

    BenchmarkRun() {
        job.running = true;
        sink.running = &job.running;
    }
    std::vector<std::string> texts() const { return sink.texts(PaneText); }
    // Pane texts that stay (ending in CR LF) and "cestfini".
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const std::string& t : texts())
            if (t.ends_with("\r\n") || t == RunEndedText) out.push_back(t);
        return out;
    }
};

// The standard constants on sizes that take milliseconds: 3*2^36 + 1 is
// prime, so its trial division (to 2^20) finds nothing.
MainBenchmarkPlan SmallPlan() {
    MainBenchmarkPlan plan = MainBenchmarkPlan::Standard();
    plan.trialCandidate = {3, 2, 36, 1};
    plan.warmUp = {{200, 4}, {400, 2}, {800, 1}};
    for (size_t i = 0; i < plan.marked.size(); ++i) plan.marked[i] = {300u << i, 2, plan.marked[i].constant};
    plan.large = {{1000, 2}, {2000, 1}, {3000, 1}};
    return plan;
}

// The scripted durations of the 15 timings of SmallPlan.
std::vector<double> Durations(double trial, const std::vector<double>& marked) {
    std::vector<double> d{trial, 1, 1, 1};
    d.insert(d.end(), marked.begin(), marked.end());
    d.insert(d.end(), {1, 1, 1});
    return d;
}

// The line with its Err value replaced by "*", for sizes whose round-off is
// not known in advance.
std::string WithoutErr(const std::string& line) {
    const size_t at = line.find("Err: ");
    if (at == std::string::npos) return line;
    const size_t end = line.find_first_of("\t\r", at);
    return line.substr(0, at + 5) + "*" + line.substr(end);
}

std::vector<std::string> WithoutErr(std::vector<std::string> lines) {
    for (std::string& line : lines) line = WithoutErr(line);
    return lines;
}

double ErrOf(const std::string& line) {
    const size_t at = line.find("Err: ");
    return at == std::string::npos ? -1 : std::strtod(line.c_str() + at + 5, nullptr);
}

TEST(MainBenchmark, MachineTakingExactlyTheConstantsScoresOne) {
    BenchmarkRun r;
    const MainBenchmarkPlan plan = SmallPlan();
    std::vector<double> marked;
    for (const MarkedSize& s : plan.marked) marked.push_back(s.constant);
    r.clock.durations = Durations(plan.trialConstant, marked);
    MainBenchmark(r.run, plan, r.clock.clock());

    EXPECT_EQ(r.clock.reads, 30u);  // two per timing
    std::vector<std::string> want{"BENCH 4.0\r\n", TrialDivisionLine(2770, 1)};
    for (const SquaringSize& s : plan.warmUp) want.push_back(TimingLine(3, 2, s.n, 1.0 / s.count, 0));
    for (size_t i = 0; i < plan.marked.size(); ++i) {
        const MarkedSize& s = plan.marked[i];
        want.push_back(MarkedTimingLine(3, 2, s.n, s.constant / s.count, 0, int(i) + 2, 1));
    }
    for (const SquaringSize& s : plan.large) want.push_back(TimingLine(3, 2, s.n, 1.0 / s.count, 0));
    want.push_back("NumenMark : 1.\r\n");
    want.push_back("cestfini");

    EXPECT_EQ(WithoutErr(r.lines()), WithoutErr(want));
    // Sizes below the transform's threshold square exactly: Err 0.
    EXPECT_EQ(r.lines()[2], want[2]);
    // Each timing posts its progress text first; everything is pane text.
    const std::vector<std::string> texts = r.texts();
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[1], "3*2^36 + 1 ? Trial division up to 1048576");
    EXPECT_EQ(texts[3], Base2TimingText(4, 3, 200));
    EXPECT_EQ(texts[4], want[2]);
    EXPECT_EQ(texts.size(), 2 * want.size() - 3);  // header, score and end have no progress text
    for (const RecordingSink::Message& m : r.sink.messages) EXPECT_EQ(m.kind, PaneText);
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.log"));
}

TEST(MainBenchmark, NumenMarkIsTheIntegerMeanOfTheMarks) {
    BenchmarkRun r;
    const MainBenchmarkPlan plan = SmallPlan();
    // Marks 1 .. 8 and 10: 46 / 9 = 5.
    std::vector<double> marked;
    for (size_t i = 0; i < plan.marked.size(); ++i) {
        const double mark = i + 2 == 9 ? 10 : double(i + 2);
        marked.push_back(plan.marked[i].constant / mark);
    }
    r.clock.durations = Durations(plan.trialConstant, marked);
    MainBenchmark(r.run, plan, r.clock.clock());
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_TRUE(lines[5].ends_with("\tNumenMark2: 2\r\n")) << lines[5];
    EXPECT_TRUE(lines[12].ends_with("\tNumenMark9: 10\r\n")) << lines[12];
    EXPECT_EQ(lines[16], "NumenMark : 5.\r\n");
}

TEST(MainBenchmark, StopDuringMarkFivePrintsMarksOneToFourOnly) {
    BenchmarkRun r;
    const MainBenchmarkPlan plan = SmallPlan();
    std::vector<double> marked;
    for (const MarkedSize& s : plan.marked) marked.push_back(s.constant);
    r.clock.durations = Durations(plan.trialConstant, marked);
    r.sink.stopAt = Base2TimingText(plan.marked[3].count, 3, plan.marked[3].n);
    MainBenchmark(r.run, plan, r.clock.clock());
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 8u);  // header, mark 1, three warm-ups, marks 2 to 4
    EXPECT_TRUE(lines[1].starts_with("Trial division\t"));
    EXPECT_TRUE(lines[7].ends_with("\tNumenMark4: 1\r\n")) << lines[7];
    EXPECT_EQ(r.texts().back(), r.sink.stopAt);
}

TEST(MainBenchmark, StopDuringTheTrialDivisionEndsSilently) {
    BenchmarkRun r;
    r.sink.stopAt = "3*2^36 + 1 ? Trial division up to 1048576";
    MainBenchmark(r.run, SmallPlan(), r.clock.clock());
    EXPECT_EQ(r.texts(), (std::vector<std::string>{"BENCH 4.0\r\n", r.sink.stopAt}));
}

TEST(MainBenchmark, DivisorInTheTrialWorkloadIsFatal) {
    BenchmarkRun r;
    MainBenchmarkPlan plan = SmallPlan();
    plan.trialCandidate = {1, 2, 5, 1};  // 33 = 3 * 11
    MainBenchmark(r.run, plan, r.clock.clock());
    EXPECT_EQ(r.texts(), (std::vector<std::string>{"BENCH 4.0\r\n", "1*2^5 + 1 ? Trial division up to 32",
                                                   "Fatal error\r\n", "cestfini"}));
    EXPECT_FALSE(std::filesystem::exists(r.folder / "Numen.log"));
}

TEST(MainBenchmark, TransformSizesReportTheirRoundOff) {
    BenchmarkRun r;
    MainBenchmarkPlan plan = SmallPlan();
    plan.warmUp = {{4000, 2}, {16000, 1}};
    plan.marked.clear();
    plan.large.clear();
    r.clock.durations = {2770};
    MainBenchmark(r.run, plan, r.clock.clock());
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 6u);
    for (size_t i : {2u, 3u}) {
        EXPECT_GT(ErrOf(lines[i]), 0) << lines[i];
        EXPECT_LT(ErrOf(lines[i]), 0.4) << lines[i];
    }
    EXPECT_EQ(lines[4], "NumenMark : 1.\r\n");  // the trial mark alone
}

void Disturb(Complex* array, const TransformPlan& plan) { array[plan.index(plan.length / 3)].re += 1000.0; }

TEST(MainBenchmark, ArithmeticFailureEndsWithTheErrorLineAndKeepsCheckpoints) {
    BenchmarkRun r;
    r.folder.write("Numen.dta", "a stopped search's record");
    MainBenchmarkPlan plan = SmallPlan();
    plan.warmUp = {{4000, 2}};
    SetTransformDisturbance(Disturb);
    MainBenchmark(r.run, plan, r.clock.clock());
    SetTransformDisturbance(nullptr);
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Error!!! (rounding or checksum or not enough memory.)\r\n");
    EXPECT_EQ(lines[3], "cestfini");
    EXPECT_EQ(r.folder.read("Numen.dta"), "a stopped search's record");
}

TEST(GfnBenchmark, OneLinePerSizeAtTheLargestBase) {
    BenchmarkRun r;
    const std::vector<SquaringSize> sizes{{64, 4}, {128, 2}, {256, 1}};
    r.clock.durations = {2.0, 0.5, 0.004};
    GfnBenchmark(r.run, sizes, r.clock.clock());
    EXPECT_EQ(r.clock.reads, 6u);
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Generalized Fermat Number Bench\r\n");
    for (size_t i = 0; i < sizes.size(); ++i) {
        const uint32_t b = LargestGeneralizedFermatBase(sizes[i].n);
        const std::string& line = lines[i + 1];
        const double err = ErrOf(line);
        EXPECT_GT(err, 0) << line;
        EXPECT_LT(err, 0.45) << line;
        EXPECT_EQ(line, GfnTimingLine(b, sizes[i].n, r.clock.durations[i] / sizes[i].count, err));
        EXPECT_NE(line.find(" ms/mul."), std::string::npos) << line;
    }
    EXPECT_EQ(lines[4], "cestfini");
    const std::vector<std::string> texts = r.texts();
    EXPECT_EQ(texts[1], GfnTimingText(4, LargestGeneralizedFermatBase(64), 64));
}

TEST(GfnBenchmark, StopEndsSilently) {
    BenchmarkRun r;
    const std::vector<SquaringSize> sizes{{64, 4}, {128, 2}, {256, 1}};
    r.sink.stopAt = GfnTimingText(2, LargestGeneralizedFermatBase(128), 128);
    GfnBenchmark(r.run, sizes, r.clock.clock());
    EXPECT_EQ(r.lines().size(), 2u);
    EXPECT_EQ(r.texts().back(), r.sink.stopAt);
}

TEST(Base3Benchmark, OneLinePerSizeModuloTwoTimesThreeToTheN) {
    BenchmarkRun r;
    const std::vector<SquaringSize> sizes{{3000, 4}, {6000, 2}};
    r.clock.durations = {0.0002, 3.0};
    Base3Benchmark(r.run, sizes, r.clock.clock());
    EXPECT_EQ(r.clock.reads, 4u);
    const std::vector<std::string> lines = r.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "2.3^n+1 Bench\r\n");
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::string& line = lines[i + 1];
        const double err = ErrOf(line);
        EXPECT_GT(err, 0) << line;
        EXPECT_LT(err, 0.4) << line;
        EXPECT_EQ(line, TimingLine(2, 3, sizes[i].n, r.clock.durations[i] / sizes[i].count, err));
    }
    EXPECT_NE(lines[1].find(kMicro + "s/mul."), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" s/mul."), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "cestfini");
    EXPECT_EQ(r.texts()[1], Base3TimingText(4, 3, 3000));
}

TEST(Base3Benchmark, StopEndsSilently) {
    BenchmarkRun r;
    r.sink.stopAt = Base3TimingText(2, 3, 6000);
    Base3Benchmark(r.run, {{3000, 4}, {6000, 2}}, r.clock.clock());
    EXPECT_EQ(r.lines().size(), 2u);
    EXPECT_EQ(r.texts().back(), r.sink.stopAt);
}

}  // namespace
}  // namespace numen
