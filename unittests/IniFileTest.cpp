// IniFile: Windows-compatible reading (line ends, case, blanks, duplicates,
// 79-character reads, integer conversion), writes that keep every other byte
// of the file, atomic replacement and the silent failures.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "ref/TempFolder.h"
#include "platform/AtomicFile.h"
#include "shell/IniFile.h"

namespace numen {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:

    fs::path iniPath() const { return folder / "Numen.ini"; }
    void put(const std::string& bytes) const {
        std::ofstream(iniPath(), std::ios::binary) << bytes;
    }
    std::string contents() const {
        std::ifstream in(iniPath(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing::TempFolder temp;
    const fs::path folder = temp.path();
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesSection) {
    IniFile ini(folder);
    EXPECT_EQ(ini.path(), folder / "Numen.ini");
    EXPECT_EQ(ini.readText("Base", "2"), "2");
    EXPECT_EQ(ini.readInt("Info", 1), 1);
    EXPECT_EQ(ini.readUnsigned("nMin"), 0u);
    EXPECT_FALSE(fs::exists(iniPath()));   // reading creates nothing

    ini.writeInt("a", -17);
    ini.writeUnsigned("kMax", 4294967295u);
    ini.writeText("n", "12345");
    EXPECT_EQ(contents(), "[Init]\na=-17\nkMax=4294967295\nn=12345\n");
    EXPECT_EQ(ini.readInt("a"), -17);
    EXPECT_EQ(ini.readUnsigned("kMax"), 4294967295u);
    EXPECT_FALSE(fs::exists(AtomicTemporaryPath(iniPath())));
}

TEST_F(IniFileTest, CrLfAndLfFilesReadAlikeAndKeepTheirLineEnds) {
    IniFile ini(folder);
    put("[Init]\r\nnMin=100\r\nnMax=200\r\n");
    EXPECT_EQ(ini.readText("nMin"), "100");   // no CR in the value
    EXPECT_EQ(ini.readInt("nMax"), 200);
    ini.writeInt("nMin", 5);
    ini.writeInt("kMin", 7);
    EXPECT_EQ(contents(), "[Init]\r\nnMin=5\r\nnMax=200\r\nkMin=7\r\n");

    put("[Init]\nnMin=100\nnMax=200");   // LF, last line without its end
    EXPECT_EQ(ini.readInt("nMax"), 200);
    ini.writeInt("kMin", 7);
    EXPECT_EQ(contents(), "[Init]\nnMin=100\nnMax=200\nkMin=7\n");
}

TEST_F(IniFileTest, NamesIgnoreCaseAndBlanksAroundKeysAndValuesAreDropped) {
    IniFile ini(folder);
    put("  [ iNiT ]  \n  NMIN   =   42 words  \t\n\tvendor=\n");
    EXPECT_EQ(ini.readText("nMin"), "42 words");
    EXPECT_EQ(ini.readInt("nmin"), 42);
    EXPECT_EQ(ini.readText("vendor", "default"), "");   // present but empty
    EXPECT_EQ(ini.readInt("Vendor", 9), 0);

    ini.writeUnsigned("nMin", 43);   // the key is written as spelled here
    EXPECT_EQ(contents(), "  [ iNiT ]  \nnMin=43\n\tvendor=\n");
}

TEST_F(IniFileTest, FirstOfDuplicateKeysWinsAndIsTheOneRewritten) {
    IniFile ini(folder);
    put("[Init]\nk=1\nK=2\n[Other]\nk=3\n[init]\nk=4\nlate=5\n");
    EXPECT_EQ(ini.readInt("k"), 1);
    EXPECT_EQ(ini.readInt("late"), 5);   // a repeated [Init] section still counts
    ini.writeInt("k", 9);
    EXPECT_EQ(ini.readInt("k"), 9);
    EXPECT_EQ(contents(), "[Init]\nk=9\nK=2\n[Other]\nk=3\n[init]\nk=4\nlate=5\n");
}

TEST_F(IniFileTest, KeysOfOtherSectionsAndCommentsAreNotOurs) {
    IniFile ini(folder);
    put("Base=7\n[Other]\nBase=5\n; Base=3\n");
    EXPECT_EQ(ini.readText("Base", "none"), "none");
    ini.writeInt("Base", 10);
    EXPECT_EQ(contents(), "Base=7\n[Other]\nBase=5\n; Base=3\n[Init]\nBase=10\n");

    put("[Init]\n;Base=3\n");
    EXPECT_EQ(ini.readInt("Base", -1), -1);
}

TEST_F(IniFileTest, WriteKeepsOtherSectionsUnknownKeysCommentsAndOrder) {
    IniFile ini(folder);
    const std::string before =
        "; written by hand\n"
        "[Window]\nx=10\n\n"
        "[Init]\nMode1=1\nFuture=keep me\nno equals sign here\n; note\n\n"
        "[Tail]\ny=2\n";
    put(before);
    ini.writeInt("Mode1", 3);
    ini.writeInt("Mode2", 0);   // new key: after the section's last line, before the blank
    EXPECT_EQ(contents(),
              "; written by hand\n"
              "[Window]\nx=10\n\n"
              "[Init]\nMode1=3\nFuture=keep me\nno equals sign here\n; note\nMode2=0\n\n"
              "[Tail]\ny=2\n");
}

TEST_F(IniFileTest, ReadsStopAt79CharactersButTheFileKeepsEverything) {
    IniFile ini(folder);
    const std::string longValue(100, 'x');
    ini.writeText("VerifierFilename", longValue);
    EXPECT_EQ(ini.readText("VerifierFilename"), std::string(79, 'x'));
    EXPECT_NE(contents().find(longValue), std::string::npos);
    EXPECT_EQ(ini.readText("missing", longValue), std::string(79, 'x'));

    // Digits beyond the 79th are not part of the number, as with the buffer.
    ini.writeText("nMin", std::string(78, '0') + "12");
    EXPECT_EQ(ini.readInt("nMin"), 1);
}

TEST_F(IniFileTest, IntegersReadLikeADecimalConversionAndStayInRange) {
    IniFile ini(folder);
    put("[Init]\nword=abc\nempty=\nmixed= -12xyz\nplus=+8\nbig=99999999999\n"
        "small=-99999999999\nneg=-5\nmax=4294967295\nover=4294967296\nspace=- 3\n");
    EXPECT_EQ(ini.readInt("word", 5), 0);
    EXPECT_EQ(ini.readInt("empty", 5), 0);
    EXPECT_EQ(ini.readInt("mixed"), -12);
    EXPECT_EQ(ini.readInt("plus"), 8);
    EXPECT_EQ(ini.readInt("big"), INT_MAX);
    EXPECT_EQ(ini.readInt("small"), INT_MIN);
    EXPECT_EQ(ini.readInt("space"), 0);
    EXPECT_EQ(ini.readUnsigned("neg"), 0u);
    EXPECT_EQ(ini.readUnsigned("max"), 4294967295u);
    EXPECT_EQ(ini.readUnsigned("over"), 4294967295u);
    EXPECT_EQ(ini.readUnsigned("missing", 65536), 65536u);

    ini.writeInt("a", INT_MIN);
    EXPECT_EQ(ini.readInt("a"), INT_MIN);
    EXPECT_EQ(ParseDecimal(std::string(40, '9')), int64_t{1} << 62);
}

TEST_F(IniFileTest, DamagedFileReadsSanelyAndLosesNoByte) {
    IniFile ini(folder);
    using namespace std::string_literals;
    const std::string junk = "\x01\xff\x00\x7f binary\x00=\x00\n"s;
    const std::string longLine(1 << 20, 'q');
    const std::string before = junk + longLine + "\n[Init]\nFileLine=12\x00tail\nnMin=5\n\xfe\xfe"s;
    put(before);
    EXPECT_EQ(ini.readInt("FileLine"), 12);
    EXPECT_EQ(ini.readText("FileLine"), "12");   // cut at the NUL
    EXPECT_EQ(ini.readInt("nMin"), 5);
    EXPECT_EQ(ini.readText("q"), "");

    ini.writeInt("nMin", 6);
    std::string expected = before;
    expected.replace(expected.find("nMin=5"), 6, "nMin=6");
    EXPECT_EQ(contents(), expected + "\n");   // the only other change: a final line end
}

TEST_F(IniFileTest, TextValuesCannotBreakTheLineStructure) {
    IniFile ini(folder);
    ini.writeText("n", "12\n[Evil]\nk=1");
    EXPECT_EQ(ini.readText("n"), "12");
    EXPECT_EQ(contents(), "[Init]\nn=12\n");
    ini.writeText("bad=key", "1");
    ini.writeText("", "1");
    ini.writeText("two\nlines", "1");
    EXPECT_EQ(contents(), "[Init]\nn=12\n");
}

// Read a text, write it back unchanged: it must read back the same. Each
// file is the smallest that once broke this -- a CR inside the value (lines
// split at LF only), a blank before a NUL byte, and a blank at the 79th
// character of a longer value.
TEST_F(IniFileTest, TextReadAndWrittenBackReadsTheSame) {
    IniFile ini(folder);
    using namespace std::string_literals;
    const struct {
        std::string file;
        std::string read;
        std::string rewritten;
    } cases[] = {
        {"[Init]\nn=a\rb\n", "a", "[Init]\nn=a\n"},
        {"[Init]\nn=a \0\n"s, "a", "[Init]\nn=a\n"},
        {"[Init]\nn=" + std::string(78, 'x') + " y\n", std::string(78, 'x'),
         "[Init]\nn=" + std::string(78, 'x') + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read);
        put(c.file);
        std::string value = ini.readText("n");
        EXPECT_EQ(value, c.read);
        ini.writeText("n", value);
        EXPECT_EQ(ini.readText("n"), value);
        EXPECT_EQ(contents(), c.rewritten);
    }
    // An integer key holding the same damage reads as its text does.
    put("[Init]\nnMin=1\r2\n");
    EXPECT_EQ(ini.readInt("nMin"), 1);
}

// ReadBackForm is what a text becomes once stored, for any text a caller
// may hand to writeText, and a short text is stored as exactly that.
TEST_F(IniFileTest, ReadBackFormIsWhatAStoredTextBecomes) {
    IniFile ini(folder);
    using namespace std::string_literals;
    const std::string texts[] = {
        "", " ", "plain", "  both ends\t", "a\rb", "a \0b"s, "x\r\n", "\v\f", "in\tside",
        "=;[x]", std::string(78, 'x') + " y", std::string(79, 'z'), std::string(100, 'w'),
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(::testing::PrintToString(text));
        std::string form = IniFile::ReadBackForm(text);
        ini.writeText("VerifierFilename", text);
        EXPECT_EQ(ini.readText("VerifierFilename"), form);
        if (text.size() < IniFile::kMaxTextLength) {
            EXPECT_EQ(contents(), "[Init]\nVerifierFilename=" + form + "\n");
        }
        EXPECT_EQ(IniFile::ReadBackForm(form), form);
    }
    EXPECT_EQ(IniFile::ReadBackForm("  both ends\t"), "both ends");
    EXPECT_EQ(ini.readText("missing", " padded default "), "padded default");
}

TEST_F(IniFileTest, WriteKeepsPermissionBitsAndLeavesNoTemporary) {
    IniFile ini(folder);
    put("[Init]\n");
    fs::permissions(iniPath(), fs::perms(0640));
    ini.writeInt("Running", 1);
    EXPECT_EQ(fs::status(iniPath()).permissions(), fs::perms(0640));
    EXPECT_EQ(ini.readInt("Running"), 1);
    EXPECT_FALSE(fs::exists(AtomicTemporaryPath(iniPath())));
}

TEST_F(IniFileTest, ReadOnlyFileIsNotWrittenEvenForRoot) {
    IniFile ini(folder);
    put("[Init]\nRunning=1\n");
    fs::permissions(iniPath(), fs::perms(0444));
    ini.writeInt("Running", 0);
    ini.writeInt("nMin", 3);
    EXPECT_EQ(contents(), "[Init]\nRunning=1\n");
    EXPECT_EQ(fs::status(iniPath()).permissions(), fs::perms(0444));
}

TEST_F(IniFileTest, FailedReplacementKeepsTheOldFile) {
    IniFile ini(folder);
    put("[Init]\nnMin=1\n");
    // The temporary cannot be created: something else holds its name.
    fs::create_directory(AtomicTemporaryPath(iniPath()));
    ini.writeInt("nMin", 2);
    EXPECT_EQ(contents(), "[Init]\nnMin=1\n");
    fs::remove(AtomicTemporaryPath(iniPath()));

    // A stale temporary from a crash is simply replaced.
    std::ofstream(AtomicTemporaryPath(iniPath())) << "half a fi";
    ini.writeInt("nMin", 3);
    EXPECT_EQ(contents(), "[Init]\nnMin=3\n");

    // A folder that cannot be written: only testable without root's bypass.
    if (::geteuid() != 0) {
        fs::permissions(folder, fs::perms(0555));
        ini.writeInt("nMin", 4);
        EXPECT_EQ(contents(), "[Init]\nnMin=3\n");
    }
}

TEST_F(IniFileTest, SettingsPathThatIsNotAFileReadsDefaultsAndIsLeftAlone) {
    IniFile ini(folder);
    fs::create_directory(iniPath());
    EXPECT_EQ(ini.readInt("Info", 1), 1);
    ini.writeInt("Info", 0);
    EXPECT_TRUE(fs::is_directory(iniPath()));
}

}  // namespace
}  // namespace numen
