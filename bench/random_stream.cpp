// Writes an endless stream of raw 32-bit words (host byte order) from the
// program's random source, driven exactly as GenerateAddress drives it, for
// statistical test batteries such as dieharder reading standard input.

#include "clock.h"
#include "frozen_clock.h"
#include "random_source.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr int kBitsPerUniform = 53; // what the source puts in each draw
constexpr int kBitsPerWord = 32;
constexpr int kDrawsPerReseed = 2; // GenerateAddress reseeds once per octet of two digits
constexpr std::size_t kWordsPerWrite = 16 * 1024;
static_assert(kWordsPerWrite % kDrawsPerReseed == 0, "a write holds whole reseed groups");
constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;

void printUsage(std::FILE *to)
{
    std::fputs("usage: random_stream [--clock real|frozen] [--words N]\n"
               "Writes raw 32-bit words to standard output until it is closed\n"
               "(or N words, when given). --clock real (the default) reseeds from\n"
               "the system clock, --clock frozen from a clock that never moves.\n",
               to);
}

// A draw u is n / 2^53 for a 53-bit n, exact in a double, so floor(u * 2^53)
// gives n back unchanged. Its top 32 bits are emitted, top first: they are the
// bits GenerateAddress consumes (its digit is floor(u * 16), the top four), so
// the stream tests what the program uses rather than the source's raw words.
std::uint32_t topBitsOfDraw(double uniform)
{
    const double scaled = std::floor(std::ldexp(uniform, kBitsPerUniform));
    const auto drawn = static_cast<std::uint64_t>(scaled);
    return static_cast<std::uint32_t>(drawn >> (kBitsPerUniform - kBitsPerWord));
}

enum class WriteResult { Written, ReaderGone, Failed };

WriteResult writeAll(const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            // The reader closing the pipe is how an endless stream normally ends.
            return errno == EPIPE ? WriteResult::ReaderGone : WriteResult::Failed;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return WriteResult::Written;
}

struct Options
{
    bool frozenClock = false;
    std::uint64_t words = std::numeric_limits<std::uint64_t>::max();
};

bool parseOptions(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--clock" && hasValue) {
            const std::string_view clock = argv[++i];
            if (clock != "real" && clock != "frozen") {
                return false;
            }
            options.frozenClock = clock == "frozen";
        } else if (argument == "--words" && hasValue) {
            char *end = nullptr;
            options.words = std::strtoull(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0') {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && std::string_view(argv[1]) == "--help") {
        printUsage(stdout);
        return 0;
    }
    Options options;
    if (!parseOptions(argc, argv, options)) {
        printUsage(stderr);
        return kUsageStatus;
    }
    // EPIPE from write() instead of death by signal, so the end is a clean exit.
    std::signal(SIGPIPE, SIG_IGN);

    try {
        const hexlark::SystemClock systemClock;
        const hexlark::bench::FrozenClock frozenClock;
        const hexlark::Clock &clock =
            options.frozenClock ? static_cast<const hexlark::Clock &>(frozenClock) : systemClock;
        hexlark::ChaChaRandomSource random(hexlark::readEntropySeed(), clock);

        auto buffer = std::make_unique<std::array<std::uint32_t, kWordsPerWrite>>();
        std::uint64_t remaining = options.words;
        while (remaining > 0) {
            // The buffer holds whole reseed-and-draw groups, so no group is split
            // between writes; only a last, shorter buffer may end one early.
            const std::size_t limit =
                remaining < buffer->size() ? static_cast<std::size_t>(remaining) : buffer->size();
            std::size_t filled = 0;
            while (filled < limit) {
                random.Reseed();
                for (int draw = 0; draw < kDrawsPerReseed && filled < limit; ++draw) {
                    (*buffer)[filled++] = topBitsOfDraw(random.NextUniform());
                }
            }
            switch (writeAll(buffer->data(), filled * sizeof(std::uint32_t))) {
            case WriteResult::Written:
                break;
            case WriteResult::ReaderGone:
                return 0;
            case WriteResult::Failed:
                std::fprintf(stderr, "random_stream: cannot write: %s\n", std::strerror(errno));
                return kFailureStatus;
            }
            remaining -= filled;
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "random_stream: %s\n", error.what());
        return kFailureStatus;
    }
    return 0;
}
