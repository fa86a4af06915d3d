// JsonLines: the writer's escaping and numbers read back by an independent
// JSON parser, and the one-write append that never leaves part of a line,
// also when the write fails or comes back short.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <string>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "ref/TempFolder.h"
#include "report/JsonLines.h"

namespace numen {
namespace {

using nlohmann::json;

TEST(JsonLinesEscaping, EveryByteBelow128ReadsBackUnchanged) {
    std::string all;
    for (int c = 1; c < 128; ++c) all += char(c);
    all += "\xc3\xa9 \xe2\x82\xac";  // UTF-8 passes as it is
    const std::string text = JsonObject().add("s", all).text();
    // One line: no raw control character survives the escaping.
    for (const char ch : text) EXPECT_GE(static_cast<unsigned char>(ch), 0x20u) << int(ch);
    EXPECT_EQ(json::parse(text).at("s").get<std::string>(), all);
    EXPECT_EQ(JsonQuoted("a\"b\\c\n\t\x01"), R"("a\"b\\c\n\t\u0001")");
    EXPECT_EQ(JsonQuoted(""), "\"\"");
}

TEST(JsonLinesEscaping, KeysAreEscapedAndFieldsKeepTheirOrder) {
    const std::string text = JsonObject().add("z\"1", 1).add("a", 2).text();
    EXPECT_EQ(text, R"({"z\"1":1,"a":2})");
    EXPECT_EQ(JsonObject().text(), "{}");
}

// "r0" ... "r5" (built without string concatenation, which GCC 12 reports
// with a false -Wrestrict).
std::string RealKey(int i) { return std::string{'r', char('0' + i)}; }

TEST(JsonLinesNumbers, IntegersRealsBooleansAndNullReadBackExactly) {
    const double reals[] = {0.0, 0.1875, 1e-300, 3.0e10, -2.5, 0.30000000000000004};
    JsonObject o;
    o.add("i", int64_t(std::numeric_limits<int64_t>::min()))
        .add("u", std::numeric_limits<uint64_t>::max())
        .add("c", int32_t(-1))
        .add("t", true)
        .add("f", false)
        .addNull("z")
        .add("none", std::optional<double>())
        .add("some", std::optional<double>(0.25))
        .add("inf", std::numeric_limits<double>::infinity())
        .add("nan", std::nan(""));
    for (int i = 0; i < 6; ++i) o.add(RealKey(i), reals[i]);
    const json j = json::parse(o.text());
    EXPECT_EQ(j.at("i").get<int64_t>(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(j.at("u").get<uint64_t>(), std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(j.at("c").get<int>(), -1);
    EXPECT_TRUE(j.at("t").get<bool>());
    EXPECT_FALSE(j.at("f").get<bool>());
    EXPECT_TRUE(j.at("z").is_null());
    EXPECT_TRUE(j.at("none").is_null());
    EXPECT_EQ(j.at("some").get<double>(), 0.25);
    EXPECT_TRUE(j.at("inf").is_null());  // JSON has no infinity or NaN
    EXPECT_TRUE(j.at("nan").is_null());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(j.at(RealKey(i)).get<double>(), reals[i]) << i;
}

// --- the append -----------------------------------------------------------

// Fake write calls: the disk fills after half the line, with or without an
// error; a write that reports nothing done.
ssize_t WriteHalfThenShort(int fd, const void* data, size_t size) { return ::write(fd, data, size / 2); }
ssize_t WriteHalfThenFail(int fd, const void* data, size_t size) {
    (void)!::write(fd, data, size / 2);
    errno = ENOSPC;
    return -1;
}
ssize_t WriteNothing(int, const void*, size_t) {
    errno = EIO;
    return -1;
}
int writeCalls = 0;
ssize_t CountingWrite(int fd, const void* data, size_t size) {
    ++writeCalls;
    return ::write(fd, data, size);
}

class JsonLinesAppend : public ::testing::Test {
protected:
    std::string contents() const { return temp.read("Numen.json"); }
    testing::TempFolder temp;
    const std::filesystem::path path = temp / "Numen.json";
};

TEST_F(JsonLinesAppend, EachLineIsOneWriteEndingInLineFeed) {
    writeCalls = 0;
    ASSERT_TRUE(AppendJsonLine(path, R"({"a":1})", CountingWrite));
    ASSERT_TRUE(AppendJsonLine(path, R"({"b":"x y"})", CountingWrite));
    EXPECT_EQ(writeCalls, 2);
    EXPECT_EQ(contents(), "{\"a\":1}\n{\"b\":\"x y\"}\n");
}

TEST_F(JsonLinesAppend, AFailedOrShortWriteLeavesNoPartOfTheLine) {
    const std::string before = "{\"kept\":true}\n";
    ASSERT_TRUE(AppendJsonLine(path, R"({"kept":true})"));
    const std::string line = R"({"type":"prime","candidate":"3*2^1000+1","digits":303})";
    EXPECT_FALSE(AppendJsonLine(path, line, WriteHalfThenShort));
    EXPECT_EQ(contents(), before);
    EXPECT_FALSE(AppendJsonLine(path, line, WriteHalfThenFail));
    EXPECT_EQ(contents(), before);
    EXPECT_FALSE(AppendJsonLine(path, line, WriteNothing));
    EXPECT_EQ(contents(), before);
    // The retry that succeeds adds the line once, whole.
    EXPECT_TRUE(AppendJsonLine(path, line));
    EXPECT_EQ(contents(), before + line + "\n");
}

TEST_F(JsonLinesAppend, ATornLastLineOfAnEarlierRunIsCutOffFirst) {
    // Lines longer than the scan's block, so the last LF lies blocks back.
    const std::string whole = "{\"a\":\"" + std::string(5000, 'x') + "\"}\n";
    temp.write("Numen.json", whole + "{\"torn\":\"" + std::string(9000, 'y'));
    ASSERT_TRUE(AppendJsonLine(path, "{\"b\":2}"));
    EXPECT_EQ(contents(), whole + "{\"b\":2}\n");
    temp.write("Numen.json", "{\"only a torn line");
    ASSERT_TRUE(AppendJsonLine(path, "{}"));
    EXPECT_EQ(contents(), "{}\n");
}

TEST_F(JsonLinesAppend, AFolderThatCannotBeWrittenIsAFailure) {
    EXPECT_FALSE(AppendJsonLine(temp / "missing" / "Numen.json", "{}"));
    EXPECT_FALSE(std::filesystem::exists(temp / "missing"));
}

}  // namespace
}  // namespace numen
