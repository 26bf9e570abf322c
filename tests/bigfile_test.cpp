#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "fatal_pattern.h"
#include "platform/system/memory.h"
#include "resources/bigfile.h"
#include "support/test_support.h"
#include "tools/bigfile_writer.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::string kBegin(kBigfileBeginMarker), kEnd(kBigfileEndMarker);

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes filled(size_t size, unsigned char first) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(first + i * 7);
    return bytes;
}

// A bigfile written by hand: header text followed by the members' bytes.
std::string writeArchive(const TempDir& dir, const std::string& header,
                         const std::vector<Bytes>& members, const std::string& name = "a.dat") {
    Bytes all = bytesOf(header);
    for (const Bytes& member : members) all.insert(all.end(), member.begin(), member.end());
    writeWholeFile(dir.file(name), all);
    return dir.file(name);
}

Bytes readRange(const std::string& archive, const std::string& entry, uint32_t offset,
                uint32_t count) {
    Bytes bytes(count);
    readEntryRange(archive, entry, bytes.data(), offset, count);
    return bytes;
}

Bytes loadWhole(const std::string& entry, const std::string& archive) {
    uint8_t* buffer = nullptr;
    uint32_t size = loadEntry(entry, archive, buffer);
    Bytes bytes(buffer, buffer + size);
    accountedFree(buffer, size);
    return bytes;
}

std::string shortRead(const std::string& entry, const std::string& archive, uint64_t count) {
    return fatalPattern(kFileErrorCaption, "File : " + entry + " of BigFile " + archive +
                                               "\n\nCould not read " + std::to_string(count) +
                                               " Bytes from this file !");
}

struct BigfileLookup : testing::Test {
    void SetUp() override {
        failureState.batch = true;
        archive = writeArchive(dir,
                               kBegin +
                                   "Film_03.3ds;2026-12-07;1024\nfont.png;x;300\n"
                                   "Sound09.mp3;x;17\n" +
                                   kEnd,
                               {first, second, third});
    }
    TempDir dir;
    Bytes first = filled(1024, 1), second = filled(300, 50), third = filled(17, 99);
    std::string archive;
};

} // namespace

TEST_F(BigfileLookup, FindsEntriesWithoutRegardToCaseAtTheirDerivedPositions) {
    EXPECT_EQ(getEntrySize(archive, "Film_03.3ds"), 1024u);
    EXPECT_EQ(getEntrySize(archive, "FILM_03.3DS"), 1024u);
    EXPECT_EQ(getEntrySize(archive, "Font.PNG"), 300u);
    // The first member starts right after the end marker, the next ones follow without gaps;
    // the entry listed after a match does not shift it.
    EXPECT_EQ(loadWhole("film_03.3ds", archive), first);
    EXPECT_EQ(loadWhole("FONT.PNG", archive), second);
    EXPECT_EQ(loadWhole("sound09.MP3", archive), third);
    // The data area starts right after the end marker's line feed.
    EXPECT_EQ(listBigfileEntries(archive)[0].position,
              readWholeFile(archive).size() - 1024 - 300 - 17);
}

TEST_F(BigfileLookup, ReadsRangesInsideAnEntry) {
    Bytes tail = readRange(archive, "Film_03.3ds", 1020, 4);
    EXPECT_EQ(tail, Bytes(first.end() - 4, first.end()));
    uint8_t* body = nullptr;
    uint32_t trailer = 0;
    uint32_t size = loadEntryWithTrailer("film_03.3ds", archive, body, trailer);
    ASSERT_EQ(size, 1020u);
    EXPECT_EQ(Bytes(body, body + size), Bytes(first.begin(), first.end() - 4));
    EXPECT_EQ(trailer, uint32_t(first[1020] | first[1021] << 8 | first[1022] << 16 |
                                uint32_t(first[1023]) << 24));
    accountedFree(body, size);
}

TEST_F(BigfileLookup, MissingEntryIsZeroForTheSizeAndFatalForTheRead) {
    BoxRecorder recorder;
    EXPECT_EQ(getEntrySize(archive, "nothere.png"), 0u);
    EXPECT_FALSE(fileExists("nothere.png", archive));
    EXPECT_TRUE(fileExists("FONT.png", archive));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(BigfileLookup, FatalTexts) {
    std::string notFound = "The file \"nothere.png\" was not found in bigfile : " + archive +
                           "\n\n" + std::string(kFileAccessText);
    EXPECT_EXIT(readRange(archive, "nothere.png", 0, 1), testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption, notFound));
    EXPECT_EXIT(loadWhole("nothere.png", archive), testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption, notFound));
    // A range that leaves its entry is a short read, not its neighbour's bytes.
    EXPECT_EXIT(readRange(archive, "font.png", 290, 20), testing::ExitedWithCode(1),
                shortRead("font.png", archive, 20));
    std::string missing = dir.file("missing.dat");
    EXPECT_EXIT(getEntrySize(missing, "font.png"), testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption, fileErrorText(missing, ENOENT)));
    EXPECT_EXIT(loadWhole("nofile.bin", ""), testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption, fileErrorText("nofile.bin", ENOENT)));
}

// The archive of the fixture (1024 + 300 + 17 bytes of data) whole, with bytes after it,
// and cut at every kind of place: complete exactly when every entry lies inside the file and
// the directory ends.
TEST_F(BigfileLookup, CheckFindsEveryArchiveCutShort) {
    const Bytes whole = readWholeFile(archive);
    const size_t dataStart = whole.size() - 1341;
    struct Cut {
        const char* what;
        size_t length;  // bytes kept
        Bytes appended; // bytes added after them
        bool complete;
        bool endMarkerFound;
        const char* firstOutside;
    };
    const Cut cuts[] = {
        {"whole", whole.size(), {}, true, true, ""},
        {"with bytes after the data", whole.size(), {1, 2, 3}, true, true, ""},
        {"last byte missing", whole.size() - 1, {}, false, true, "Sound09.mp3"},
        {"cut inside the second entry", dataStart + 1024 + 1, {}, false, true, "font.png"},
        {"cut after the first entry", dataStart + 1024, {}, false, true, "font.png"},
        {"cut inside the first entry", dataStart + 1, {}, false, true, "Film_03.3ds"},
        {"directory only", dataStart, {}, false, true, "Film_03.3ds"},
        {"cut inside the end marker", dataStart - 1, {}, false, false, "Film_03.3ds"},
        {"empty file", 0, {}, false, false, ""},
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE(cut.what);
        Bytes bytes(whole.begin(), whole.begin() + long(cut.length));
        bytes.insert(bytes.end(), cut.appended.begin(), cut.appended.end());
        writeWholeFile(dir.file("cut.dat"), bytes);
        BigfileCheck check = checkBigfile(dir.file("cut.dat"));
        EXPECT_EQ(check.complete, cut.complete);
        EXPECT_EQ(check.endMarkerFound, cut.endMarkerFound);
        EXPECT_EQ(check.fileLength, bytes.size());
        EXPECT_EQ(check.firstOutside, cut.firstOutside);
        if (cut.endMarkerFound) {
            EXPECT_EQ(check.listedEnd, whole.size());
        }
    }
    writeWholeFile(dir.file("cut.dat"), Bytes(whole.begin(), whole.end() - 1));
    EXPECT_EXIT(requireCompleteBigfile(dir.file("cut.dat")), testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption,
                             "The demo's data \"" + dir.file("cut.dat") +
                                 "\" is damaged or incomplete !\n\nThe file holds " +
                                 std::to_string(whole.size() - 1) +
                                 " bytes, but its directory lists data up to byte " +
                                 std::to_string(whole.size()) +
                                 " : \"Sound09.mp3\" and what follows it lie beyond the end."
                                 "\n\nCopy the file again, or build it anew with \"demotool "
                                 "build-data\"."));
}

TEST(Bigfile, MalformedLinesAreSkippedAndSizesBeyondTheFileAreShortReads) {
    failureState.batch = true;
    TempDir dir;
    Bytes good = filled(10, 3);
    std::string header = kBegin +
                         "noseparator\n;x;5\na;;5\nb;x;\nc;x;abc\nd;x;99999999999\ntwo;x\n" +
                         kBegin + "good.bin;x;10\nbig.bin;x;4000000000\n" + kEnd;
    std::string archive = writeArchive(dir, header, {good});
    EXPECT_EQ(loadWhole("GOOD.BIN", archive), good);
    EXPECT_EQ(getEntrySize(archive, "d"), 0u);
    EXPECT_EQ(getEntrySize(archive, "big.bin"), 4000000000u);
    // Refused before 4 GB are allocated.
    EXPECT_EXIT(loadWhole("big.bin", archive), testing::ExitedWithCode(1),
                shortRead("big.bin", archive, 4000000000u));
    uint8_t* body = nullptr;
    uint32_t trailer = 0;
    std::string tiny = writeArchive(dir, kBegin + "t;x;2\n" + kEnd, {Bytes{1, 2}}, "t.dat");
    EXPECT_EXIT(loadEntryWithTrailer("t", tiny, body, trailer), testing::ExitedWithCode(1),
                shortRead("t", tiny, 4));
}

TEST(Bigfile, MarkersEndingInCarriageReturnAreNotRecognised) {
    failureState.batch = true;
    TempDir dir;
    std::string crlf = kEnd.substr(0, kEnd.size() - 1) + "\r\n";
    std::string archive = writeArchive(dir, kBegin + "x.bin;x;4\n" + crlf, {Bytes{1, 2, 3, 4}});
    EXPECT_EQ(getEntrySize(archive, "x.bin"), 4u);
    // The end of the directory is never seen, so the data area starts at the end of the file.
    EXPECT_EXIT(readRange(archive, "x.bin", 0, 4), testing::ExitedWithCode(1),
                shortRead("x.bin", archive, 4));
}

TEST(Bigfile, EmptyArchiveNameMeansTheLooseFileFoundWithoutRegardToCase) {
    TempDir dir;
    Bytes content = filled(33, 7);
    writeWholeFile(dir.file("Textur64.unc"), content);
    std::string upper = dir.path + "/TEXTUR64.UNC";
    EXPECT_EQ(getEntrySize("", upper), 33u);
    EXPECT_TRUE(fileExists(upper, ""));
    EXPECT_FALSE(fileExists(dir.path + "/TEXTUR65.UNC", ""));
    EXPECT_EQ(loadWhole(upper, ""), content);
    uint8_t* buffer = nullptr;
    uint32_t trailer = 0;
    uint32_t size = loadFileWithTrailer(upper, buffer, trailer);
    EXPECT_EQ(size, 29u);
    EXPECT_EQ(trailer, uint32_t(content[29] | content[30] << 8 | content[31] << 16 |
                                uint32_t(content[32]) << 24));
    accountedFree(buffer, size);
    failureState.batch = true;
    writeWholeFile(dir.file("short.unc"), {1, 2, 3});
    EXPECT_EXIT(loadFileWithTrailer(dir.file("short.unc"), buffer, trailer),
                testing::ExitedWithCode(1),
                fatalPattern(kFileErrorCaption, "File : " + dir.file("short.unc") +
                                                    "\n\nCould not read 4 Bytes from this file !"));
}

TEST(Bigfile, FileWithoutStatusGivesANoticeAndLengthZero) {
    BoxRecorder recorder;
    EXPECT_EQ(fileLength(nullptr), 0u);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, "ATTENTION");
    EXPECT_EQ(recorder.boxes[0].text, "Receiving size of a special application file failed !");
}

TEST(BigfileWriter, WritesWhatTheReaderReadsAndRefusesBadInputs) {
    TempDir dir;
    std::vector<BigfileInput> inputs = {
        {"Film_03.3ds", "2026-12-07", {1, 2, 3}}, {"empty.bin", "e", {}}, {"font.png", "f", {9}}};
    ASSERT_TRUE(writeBigfile(dir.file("f.dat"), inputs));
    for (const BigfileInput& input : inputs) {
        EXPECT_EQ(getEntrySize(dir.file("f.dat"), input.name), input.bytes.size());
        EXPECT_EQ(loadWhole(input.name, dir.file("f.dat")), Bytes(input.bytes));
    }
    EXPECT_FALSE(fileExists("empty.bin", dir.file("f.dat"))); // size 0 counts as absent
    EXPECT_FALSE(writeBigfile(dir.file("g.dat"), {{"a.bin", "x", {}}, {"A.BIN", "y", {}}}));
    EXPECT_FALSE(writeBigfile(dir.file("g.dat"), {{"a;b", "x", {}}}));
    EXPECT_FALSE(writeBigfile(dir.file("g.dat"), {{"a", "", {}}}));
    EXPECT_FALSE(writeBigfile(dir.file("g.dat"), {{std::string(1100, 'n'), "x", {}}}));
    EXPECT_FALSE(writeBigfile(dir.path + "/no/such/folder.dat", inputs));
}

TEST(DemotoolArchive, PackListExtract) {
    TempDir dir;
    std::string tool = std::string(ZORX_BIN_DIR) + "/demotool";
    writeWholeFile(dir.file("One.png"), filled(500, 1));
    writeWholeFile(dir.file("two.jpg"), filled(70, 2));
    auto run = [&](const std::string& arguments) {
        return std::system(("cd " + dir.path + " && " + tool + " " + arguments).c_str());
    };
    ASSERT_EQ(run("pack out.dat One.png " + dir.file("two.jpg")), 0);
    ASSERT_EQ(run("list out.dat > list.txt"), 0);
    Bytes listing = readWholeFile(dir.file("list.txt"));
    EXPECT_EQ(std::string(listing.begin(), listing.end()), "One.png\t500\ntwo.jpg\t70\n");
    ASSERT_EQ(run("extract out.dat ONE.PNG copy.png"), 0);
    EXPECT_EQ(readWholeFile(dir.file("copy.png")), filled(500, 1));
    ASSERT_EQ(run("extract out.dat two.jpg"), 0);
    EXPECT_EQ(readWholeFile(dir.file("two.jpg")), filled(70, 2));
    EXPECT_EQ(run("extract out.dat three.png 2> err.txt"), 1 << 8);
    Bytes error = readWholeFile(dir.file("err.txt"));
    EXPECT_EQ(std::string(error.begin(), error.end()),
              "demotool: extract: The file \"three.png\" was not found in bigfile : out.dat\n");
    EXPECT_EQ(run("pack bad.dat One.png One.png 2> /dev/null"), 1 << 8);
}
