#include "buffers/LineReader.h"

#include "CodecFixture.h"

#include <fcntl.h>
#include <unistd.h>

using namespace korvat;
using namespace korvat::test;

namespace {

using Result = LineReader::Result;
using Lines = std::vector<std::string>;

class LineReaderTest : public FileTest {
protected:
    // Every line of the file through a window of the given size, and how reading ended.
    static std::pair<Lines, Result> readAll(const std::string &p, std::size_t window) {
        LineReader in(window);
        EXPECT_TRUE(in.open(p));
        Lines lines;
        std::string_view line;
        Result r;
        while ((r = in.next(line)) == Result::Line)
            lines.emplace_back(line);
        return {lines, r};
    }
};

// Lines of differing lengths, long enough to span several of the reader's blocks.
std::string numberedLines(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += "line " + std::to_string(i) + std::string(i % 37, '.') + (i % 3 ? "\r\n" : "\n");
    return text;
}

} // namespace

TEST_F(LineReaderTest, LinesEndAtTheirLineFeed) {
    const auto [lines, end] = readAll(file("a.txt", "ab\ncd\r\n\nlast"), 8);
    EXPECT_EQ(lines, (Lines{"ab\n", "cd\r\n", "\n", "last"}));
    EXPECT_EQ(end, Result::End);
    EXPECT_EQ(readAll(file("empty.txt", ""), 8), std::make_pair(Lines{}, Result::End));
}

TEST_F(LineReaderTest, LineFeedMustLieWithinTheWindow) {
    EXPECT_EQ(readAll(file("a", "abc\n"), 4), std::make_pair(Lines{"abc\n"}, Result::End));
    EXPECT_EQ(readAll(file("b", "abcd"), 4), std::make_pair(Lines{"abcd"}, Result::End));
    EXPECT_EQ(readAll(file("c", "x\nabcd"), 4), std::make_pair(Lines{"x\n", "abcd"}, Result::End));
    EXPECT_EQ(readAll(file("d", "abcd\n"), 4), std::make_pair(Lines{}, Result::TooLong));
    EXPECT_EQ(readAll(file("e", "x\nabcde"), 4), std::make_pair(Lines{"x\n"}, Result::TooLong));

    LineReader in(4);
    ASSERT_TRUE(in.open(file("f", "abcdefg\nhi\n")));
    std::string_view line;
    EXPECT_EQ(in.next(line), Result::TooLong);
    EXPECT_EQ(line, "abcd"); // the window's bytes; reading may go on after them
    EXPECT_EQ(in.next(line), Result::Line);
    EXPECT_EQ(line, "efg\n");
}

TEST_F(LineReaderTest, LinesAcrossTheReadBlocksComeOutWhole) {
    const std::string text = numberedLines(200000); // several MiB
    const auto [lines, end] = readAll(file("big.txt", text), 64);
    EXPECT_EQ(end, Result::End);
    ASSERT_EQ(lines.size(), 200000u);
    std::string joined;
    for (const auto &l : lines) {
        EXPECT_EQ(l.back(), '\n');
        joined += l;
    }
    EXPECT_EQ(joined, text);
}

TEST_F(LineReaderTest, FileThatShrinksWhileReadJustEndsEarly) {
    // Far more than the reader holds at once, so most of it is still to be read when
    // the file is cut to a few bytes from another descriptor.
    const std::string text = numberedLines(200000);
    const std::string p = file("shrinks.txt", text);
    LineReader in(64);
    ASSERT_TRUE(in.open(p));
    std::string_view line;
    ASSERT_EQ(in.next(line), Result::Line);
    std::string joined(line);

    const int fd = ::open(p.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 5), 0);
    ::close(fd);

    std::size_t count = 1;
    Result r;
    while ((r = in.next(line)) == Result::Line) {
        joined += line;
        ++count;
    }
    EXPECT_EQ(r, Result::End);
    EXPECT_LT(count, 200000u);
    EXPECT_LT(joined.size(), text.size());
    EXPECT_EQ(joined, text.substr(0, joined.size())); // what came out is the file's start
}

TEST_F(LineReaderTest, WhatCannotBeReadFails) {
    LineReader missing(8);
    EXPECT_FALSE(missing.open(path("missing.txt")));
    std::string_view line;
    EXPECT_EQ(missing.next(line), Result::Failed);

    LineReader folder(8);
    ASSERT_TRUE(folder.open(dir.string()));
    EXPECT_EQ(folder.next(line), Result::Failed);
}
