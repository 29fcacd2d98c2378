// The frame reader must hand out the same frames however the line splits the bytes, accept
// nothing that is not a frame, and never hold more than one unfinished frame.
#include "link/wire/framereader.h"
#include "link/wire/replyframes.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    // The first byte picks the read sizes; the rest is what arrives on the line.
    const unsigned step = 1 + data[0] % 16;
    const QByteArrayView stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    FrameReader whole;
    const auto expected = whole.feed(stream);

    FrameReader pieces;
    std::vector<QByteArray> got;
    for (qsizetype at = 0; at < stream.size(); at += step) {
        for (auto &f :
             pieces.feed(stream.sliced(at, std::min<qsizetype>(step, stream.size() - at)))) {
            got.push_back(std::move(f));
        }
        const QByteArray &pending = pieces.pending();
        if (pending.size() > 8 || (!pending.isEmpty() && pending[0] != 'Q')) {
            std::abort();
        }
    }
    if (got != expected) {
        std::abort();
    }
    for (const auto &f : got) {
        if (!replyframes::parse(f)) {
            std::abort();
        }
    }
    return 0;
}
