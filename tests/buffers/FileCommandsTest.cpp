#include "buffers/FileCommands.h"
#include "ChoiceScript.h"
#include "CodecFixture.h"
#include "buffers/Buffers.h"
#include "catalogue/ChipRecord.h"
#include "ops/RecordingHost.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvat;
using namespace korvat::test;

namespace {

class OpenAndSave : public FileTest {
protected:
    Buffers buffers;
    RecordingView flashView, eepromView;
    RecordingHost host;
    ScriptedPrompter prompter;
    ScriptedChooser chooser;
    int language = 2;
    FileCommands files{buffers, flashView, eepromView, host, prompter, sink, chooser, language};
    ChipRecord chip{};

    void SetUp() override {
        FileTest::SetUp();
        chip.capacity = 0x10000;
        chip.eepromSize = 0x200;
    }
    bool open(const std::string &p, BufferTab tab = BufferTab::Flash) {
        chooser.files.push_back(p);
        return files.open(tab, chip);
    }
    std::uint8_t flash(std::size_t at) { return buffers.flash()[at]; }
    std::uint8_t eeprom(std::size_t at) { return buffers.eeprom()[at]; }
};

} // namespace

TEST(FileFilters, BecomeNameFiltersInTheirOrder) {
    EXPECT_EQ(nameFilters(kOpenFilter),
              (std::vector<std::string>{
                  "Binary (*.bin)", "Intel Hex(*.hex)", "Bios Rom (*.rom)", "Asus Rom (*.cap)",
                  "Motorola S-record (*.src *.s19 *.s28 *.s37 *.srec *.mot)", "All files (*)"}));
    EXPECT_EQ(nameFilters(kSaveFilter),
              (std::vector<std::string>{"Binary (*.bin)", "Intel Hex(*.hex)", "Bios Rom (*.rom)",
                                        "Motorola S-record (*.src *.s19 *.s28 *.s37 *.srec *.mot)",
                                        "All files (*)"}));
    EXPECT_EQ(nameFilters("Text|*.txt;*.log|Odd"), std::vector<std::string>{"Text (*.txt *.log)"});
    EXPECT_TRUE(nameFilters("").empty());
}

TEST_F(OpenAndSave, OpenDialogAndLogLine) {
    EXPECT_FALSE(files.open(BufferTab::Flash, chip)); // cancelled: nothing happens
    ASSERT_EQ(chooser.choices.size(), 1u);
    EXPECT_EQ(chooser.choices[0].filters, openFilters(2));
    EXPECT_EQ(chooser.choices[0].selected, 0u);
    EXPECT_EQ(chooser.choices[0].defaultSuffix, "");
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(flashView.loads, 0);

    const std::string p = file("image.bin", std::string(0x80, 'x'));
    ASSERT_TRUE(open(p));
    EXPECT_EQ(buffers.loadedLength, 0x80);
    EXPECT_EQ(flashView.bytes.size(), chip.capacity);
    EXPECT_EQ(flashView.bytes[0x7F], 'x');
    EXPECT_EQ(flashView.bytes[0x80], 0xFF);
    EXPECT_EQ(host.log, Messages{"14:03:27 Open" + p});
    language = 0;
    ASSERT_TRUE(open(p));
    EXPECT_EQ(host.log.front(), "14:03:27 打开" + p);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(OpenAndSave, FileLongerThanTheChipAsksFirst) {
    const std::string big = file("big.bin", std::string(0x20000, 'b'));
    buffers.loadedLength = 0x40;
    prompter.answer = false;
    EXPECT_FALSE(open(big));
    EXPECT_EQ(prompter.asked, Messages{std::string(text(txtFileTooLong, 2))});
    // No: the buffer, the view, the loaded length and the log stay as they were.
    EXPECT_EQ(flash(0), 0xFF);
    EXPECT_EQ(flash(0x1FFFF), 0xFF);
    EXPECT_EQ(buffers.loadedLength, 0x40);
    EXPECT_EQ(flashView.loads, 0);
    EXPECT_TRUE(host.log.empty());

    prompter.answer = true;
    ASSERT_TRUE(open(big));
    EXPECT_EQ(buffers.loadedLength, 0x10000);
    EXPECT_EQ(flashView.bytes.size(), 0x10000u);
    EXPECT_EQ(flash(0x1FFFF), 'b'); // all of it is in the buffer; the chip's part counts
    EXPECT_EQ(host.log.size(), 1u);

    // Placed at the range's start, a file of the chip's size passes its end. No keeps the
    // range as it was, not erased.
    buffers.range = {0x100, 0xFFFF, true};
    const std::string whole = file("whole.bin", std::string(0x10000, 'w'));
    prompter.answer = false;
    EXPECT_FALSE(open(whole));
    EXPECT_EQ(prompter.asked.size(), 3u);
    EXPECT_EQ(flash(0x100), 'b');
    prompter.answer = true;
    ASSERT_TRUE(open(whole));
    EXPECT_EQ(buffers.loadedLength, 0x10000);
    EXPECT_EQ(flash(0x100FF), 'w');
}

TEST_F(OpenAndSave, AddressRangePlacesTheFile) {
    buffers.range = {0x100, 0x17F, true};
    ASSERT_TRUE(open(file("part.bin", std::string(0x80, 'p'))));
    EXPECT_EQ(flash(0xFF), 0xFF);
    EXPECT_EQ(flash(0x100), 'p');
    EXPECT_EQ(flash(0x17F), 'p');
    EXPECT_EQ(flash(0x180), 0xFF);
    EXPECT_EQ(buffers.loadedLength, 0x180);

    // A file that fails changes nothing: the loaded length, the view and the log stay.
    EXPECT_FALSE(open(path("missing.bin")));
    EXPECT_EQ(sink.messages, Messages{"Can't open File"});
    EXPECT_EQ(buffers.loadedLength, 0x180);
    EXPECT_EQ(host.log.size(), 1u);

    // The room left after the start address is the limit.
    chip.capacity = kFlashBufferSize;
    buffers.range = {kFlashBufferSize - 0x10, kFlashBufferSize - 1, true};
    EXPECT_FALSE(open(file("tail.bin", std::string(0x11, 't'))));
    EXPECT_EQ(sink.messages.back(), "File is too big for Buffer");
    EXPECT_EQ(buffers.loadedLength, 0x180);
    EXPECT_EQ(flash(kFlashBufferSize - 0x10), 0xFF);

    // A range that runs backwards or reaches past the chip loads nothing.
    chip.capacity = 0x10000;
    for (const AddressRange range : {AddressRange{-1, 0x10, true}, {0x100, 0x10000, true}}) {
        buffers.range = range;
        host.log.clear();
        EXPECT_FALSE(open(file("x.bin", "x")));
        EXPECT_EQ(sink.messages.back(), range.start < 0
                                            ? "The end address is before the start address. The "
                                              "chip's last address is FFFFh."
                                            : "The address range reaches past the chip: its "
                                              "last address is FFFFh.");
        EXPECT_EQ(buffers.loadedLength, 0x180);
        EXPECT_TRUE(host.log.empty());
    }
}

// The part a file replaces is erased first: the whole buffer without the range, only the
// range with it, so that several files still make one image. Intel HEX and S-record
// files keep their own addresses whatever the range.
TEST_F(OpenAndSave, FilesReplaceWhatWasThere) {
    const std::string old = file("old.bin", std::string(0x10000, 'o'));
    const std::string gap = file("gap.hex", ":01000000619E\n:01002000627D\n:00000001FF\n");
    ASSERT_TRUE(open(old));
    ASSERT_TRUE(open(gap));
    EXPECT_EQ(flash(0x10), 0xFF);
    EXPECT_EQ(flash(0x20), 'b');
    EXPECT_EQ(flash(0x21), 0xFF);
    EXPECT_EQ(buffers.loadedLength, 0x21);

    ASSERT_TRUE(open(old));
    buffers.range = {0x100, 0x1FF, true};
    ASSERT_TRUE(open(file("part.bin", std::string(0x10, 'p'))));
    buffers.range = {0x20, 0x3F, true};
    ASSERT_TRUE(open(file("gap.src", "S1040020C219\nS9030000FC\n")));
    EXPECT_EQ(buffers.loadedLength, 0x21);
    ASSERT_TRUE(open(gap));
    EXPECT_EQ(flash(0x10), 'o'); // outside the range, in the file's gap: kept
    EXPECT_EQ(flash(0x20), 'b');
    EXPECT_EQ(flash(0x21), 0xFF); // in the range: erased
    EXPECT_EQ(flash(0x10F), 'p');
    EXPECT_EQ(flash(0x110), 0xFF);
    EXPECT_EQ(flash(0x200), 'o');
    EXPECT_TRUE(sink.messages.empty());

    // A file that cannot be read replaces nothing, and the loaded length stays.
    buffers.range.enabled = false;
    EXPECT_FALSE(open(path("missing.bin")));
    EXPECT_EQ(sink.messages, std::vector<std::string>{"Can't open File"});
    EXPECT_EQ(flash(0x200), 'o');
    EXPECT_EQ(buffers.loadedLength, 0x21);
}

// Whatever way a load fails before the file's bytes could all be read, the buffers, the
// views, the loaded length and the log stay as they were: a file that cannot be opened
// (text formats too), a pipe, a device or a folder (never waited on), and a raw file
// whose reading fails or ends short of its size.
TEST_F(OpenAndSave, FailedLoadChangesNothing) {
    const std::string image = file("image.bin", std::string(0x8000, 'i'));
    ASSERT_TRUE(open(image));
    ASSERT_TRUE(open(file("data.eep", "eeprom"), BufferTab::Eeprom));
    const std::string pipe = path("pipe.bin"), textPipe = path("pipe.hex");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(textPipe.c_str(), 0600), 0);
    std::vector<std::pair<std::string, std::string>> failing = {
        {path("missing.hex"), "Can't open File"},
        {path("missing.src"), "Can't open File"},
        {pipe, pipe + " is not an ordinary file (it may be a pipe, a device or a folder) and "
                      "was not opened."},
        {textPipe, textPipe + " is not an ordinary file (it may be a pipe, a device or a "
                              "folder) and was not opened."},
        {"/dev/null", "/dev/null is not an ordinary file (it may be a pipe, a device or a "
                      "folder) and was not opened."},
    };
    // Files of the kernel that state a page as their size: one reads only a few bytes,
    // the other fails to read.
    for (const char *kernel : {"/sys/devices/system/cpu/online", "/sys/class/net/lo/speed"}) {
        const std::string link = path(std::string("k") + std::to_string(failing.size()) + ".bin");
        if (symlink(kernel, link.c_str()) == 0 && std::ifstream(link).good())
            failing.emplace_back(link, "File Read Operation Failed");
    }
    ASSERT_EQ(failing.size(), 7u) << "the kernel files are missing here";
    const int views = flashView.loads, eepromViews = eepromView.loads;
    const PipeUnblocker unblocker({pipe, textPipe});
    for (const BufferTab tab : {BufferTab::Flash, BufferTab::Eeprom}) {
        for (const auto &[p, message] : failing) {
            sink.messages.clear();
            EXPECT_FALSE(open(p, tab)) << p;
            EXPECT_EQ(sink.messages, Messages{message}) << p;
            EXPECT_EQ(flash(0), 'i') << p;
            EXPECT_EQ(flash(0x7FFF), 'i') << p;
            EXPECT_EQ(flash(0x8000), 0xFF) << p;
            EXPECT_EQ(eeprom(0), 'e') << p;
            EXPECT_EQ(buffers.loadedLength, 0x8000) << p;
        }
    }
    EXPECT_EQ(flashView.loads, views);
    EXPECT_EQ(eepromView.loads, eepromViews);
    EXPECT_EQ(host.log.size(), 2u);
}

TEST_F(OpenAndSave, TextReaderFailureKeepsWhatItStored) {
    // The second record is damaged: the first record's byte stays, nothing counts.
    buffers.loadedLength = 0x40;
    EXPECT_TRUE(open(file("bad.hex", ":0100000041BE\n:01000100zz\n")));
    EXPECT_FALSE(sink.messages.empty());
    EXPECT_EQ(flash(0), 0x41);
    EXPECT_EQ(buffers.loadedLength, 0);
    EXPECT_EQ(flashView.bytes[0], 0x41);
    EXPECT_EQ(host.log.size(), 1u);
}

TEST_F(OpenAndSave, EepromTabStartsFromErasedBytes) {
    for (std::size_t i = 0; i < kEepromBufferSize; ++i)
        buffers.eeprom()[i] = 0x11;
    ASSERT_TRUE(open(file("data.eep", "abc"), BufferTab::Eeprom));
    EXPECT_EQ(eeprom(0), 'a');
    EXPECT_EQ(eeprom(3), 0xFF);
    EXPECT_EQ(eeprom(kEepromBufferSize - 1), 0xFF);
    EXPECT_EQ(eepromView.bytes.size(), chip.eepromSize);
    EXPECT_EQ(buffers.loadedLength, 0); // the FLASH side is untouched
    EXPECT_EQ(flashView.loads, 0);

    buffers.range = {0x100, 0x1FF, true}; // plays no part here
    const std::string big = file("big.bin", std::string(0x300, 'e'));
    prompter.answer = false;
    EXPECT_FALSE(open(big, BufferTab::Eeprom));
    EXPECT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(eeprom(0), 'a');
    EXPECT_EQ(eeprom(0x2FF), 0xFF);
    prompter.answer = true;
    ASSERT_TRUE(open(big, BufferTab::Eeprom));
    EXPECT_EQ(eeprom(0), 'e');
    EXPECT_EQ(eeprom(0x2FF), 'e');
    EXPECT_EQ(eepromView.bytes.size(), chip.eepromSize);

    // A file too big for the buffer is refused and erases nothing.
    EXPECT_FALSE(open(file("huge.bin", std::string(kEepromBufferSize + 1, 'h')), BufferTab::Eeprom));
    EXPECT_EQ(sink.messages, Messages{"File is too big for Buffer"});
    EXPECT_EQ(eeprom(0), 'e');
}

TEST_F(OpenAndSave, OtherTabsLoadNothingButLog) {
    const std::string p = file("cfg.bin", "cfg");
    ASSERT_TRUE(open(p, BufferTab::Other));
    EXPECT_EQ(flash(0), 0xFF);
    EXPECT_EQ(eeprom(0), 0xFF);
    EXPECT_EQ(flashView.loads + eepromView.loads, 0);
    EXPECT_EQ(host.log, Messages{"14:03:27 Open" + p});
}

TEST_F(OpenAndSave, DroppedFilesOpenTheFirst) {
    const std::string a = file("a.bin", "aa"), b = file("b.bin", "bb");
    EXPECT_FALSE(files.openDropped({}, BufferTab::Flash, chip));
    ASSERT_TRUE(files.openDropped({a}, BufferTab::Flash, chip));
    EXPECT_EQ(host.log, Messages{"14:03:27 Open" + a});
    ASSERT_TRUE(files.openDropped({b, a, a}, BufferTab::Flash, chip));
    EXPECT_EQ(flash(0), 'b');
    EXPECT_EQ(host.log[0], "14:03:27 3 files were dropped; only the first was opened.");
    EXPECT_EQ(host.log[1], "14:03:27 Open" + b);
    EXPECT_TRUE(chooser.choices.empty()); // no dialog

    // Nothing opened, nothing said about the rest.
    prompter.answer = false;
    EXPECT_FALSE(
        files.openDropped({file("c.bin", std::string(0x10001, 'c')), a}, BufferTab::Flash, chip));
    EXPECT_EQ(host.log.size(), 3u);
}

TEST_F(OpenAndSave, SaveWritesTheWholeCapacity) {
    buffers.loadedLength = 2;
    buffers.range = {0x10, 0x20, true};
    buffers.flash()[0] = 0x12;
    buffers.flash()[chip.capacity - 1] = 0x34;
    buffers.flash()[chip.capacity] = 0x56; // past the chip: not saved
    flashView.load(std::vector<std::uint8_t>(4, 0));
    flashView.changed = true; // pending edits are not saved

    EXPECT_FALSE(files.save(chip)); // cancelled
    ASSERT_EQ(chooser.choices.size(), 1u);
    EXPECT_EQ(chooser.choices[0].filters, nameFilters(kSaveFilter));
    EXPECT_EQ(chooser.choices[0].defaultSuffix, "hex");

    chooser.files.push_back(path("out.bin"));
    ASSERT_TRUE(files.save(chip));
    const std::string saved = slurp(path("out.bin"));
    ASSERT_EQ(saved.size(), chip.capacity);
    EXPECT_EQ(std::uint8_t(saved[0]), 0x12);
    EXPECT_EQ(std::uint8_t(saved.back()), 0x34);
    ASSERT_EQ(host.log.size(), 1u); // the save's own line
    host.log.clear();

    // An existing file and No: left as it was.
    const std::string old = file("old.hex", "old");
    prompter.answer = false;
    chooser.files.push_back(old);
    EXPECT_FALSE(files.save(chip));
    EXPECT_EQ(slurp(old), "old");
    EXPECT_EQ(prompter.asked, Messages{"File already exists. Is it covered? "});
    EXPECT_TRUE(host.log.empty()); // nothing saved, nothing said
}

TEST_F(OpenAndSave, DialogsStartInTheLastFolderUsed) {
    const char *home = std::getenv("HOME");
    const std::optional<std::string> savedHome =
        home ? std::optional<std::string>(home) : std::nullopt;
    setenv("HOME", dir.c_str(), 1);
    EXPECT_EQ(files.startFolder(), dir.string());

    std::filesystem::create_directories(dir / "images");
    ASSERT_TRUE(open(file("images/a.bin", "a")));
    EXPECT_EQ(files.lastFolder(), (dir / "images").string());
    EXPECT_FALSE(files.save(chip));
    EXPECT_EQ(chooser.choices.back().folder, (dir / "images").string());

    files.setLastFolder((dir / "gone").string());
    EXPECT_FALSE(files.open(BufferTab::Flash, chip));
    EXPECT_EQ(chooser.choices.back().folder, dir.string());
    savedHome ? setenv("HOME", savedHome->c_str(), 1) : unsetenv("HOME");
}
