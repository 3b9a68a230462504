// codec_tool read-hex|read-srec FILE OUT.bin   converts a text image to raw bytes
// codec_tool write-hex|write-srec IN.bin FILE  converts raw bytes to a text image
// Used by bench/codecs-vs-objcopy to time the codecs beside other tools.
#include "buffers/IntelHex.h"
#include "buffers/SRecord.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

struct StderrSink : korvat::MessageSink {
    void showError(std::string_view text) override { std::cerr << text << '\n'; }
};

constexpr std::size_t kLimit = 64u << 20; // the FLASH buffer

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::cerr << "usage: codec_tool read-hex|read-srec|write-hex|write-srec IN OUT\n";
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "read-hex" || mode == "read-srec") {
        // calloc leaves the pages untouched until the reader writes them, as a buffer
        // allocated once at start-up would be; gaps read as 0, as objcopy gives them.
        std::unique_ptr<std::uint8_t, decltype(&std::free)> memory(
            static_cast<std::uint8_t *>(std::calloc(kLimit, 1)), &std::free);
        const std::span<std::uint8_t> buffer(memory.get(), kLimit);
        StderrSink sink;
        const std::uint32_t n = mode == "read-hex" ? korvat::readIntelHex(argv[2], buffer, sink)
                                                   : korvat::readSRecord(argv[2], buffer, sink);
        if (n == 0)
            return 1;
        std::ofstream(argv[3], std::ios::binary)
            .write(reinterpret_cast<const char *>(buffer.data()), n);
        return 0;
    }
    std::ifstream in(argv[2], std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(data.data()), static_cast<std::streamsize>(data.size()));
    const bool ok = mode == "write-hex" ? korvat::writeIntelHex(argv[3], data)
                                        : korvat::writeSRecord(argv[3], data);
    return ok ? 0 : 1;
}
