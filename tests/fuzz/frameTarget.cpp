// Frames read from a stream that delivers the fuzzer's bytes in pieces. Every
// frame read whole is sent back, and must come out as the bytes it was read
// from, up to the checksums, which are those of the frame when they were
// right and fresh ones when they were not.

#include "fuzzCheck.h"
#include "fuzzInput.h"
#include "fuzzTargets.h"
#include "fuzzWorld.h"
#include "pieceStream.h"
#include "wire/mssgPacket.h"
#include "wire/packetCrc.h"
#include "wire/packetFrame.h"

#include <algorithm>
#include <memory>

int FrameTarget(const std::uint8_t* data, std::size_t size) {
    fuzzWorld::Get();
    fuzzInput in(data, size);
    // The first byte chooses how the stream ends, the next four the sizes of
    // its pieces.
    const bool failAtEnd = (in.Byte() & 1) != 0;
    std::vector<std::size_t> pieces;
    for (const std::uint8_t piece : in.Bytes(4)) {
        pieces.push_back(piece);
    }
    pieceStream stream(in.Rest(), pieces, failAtEnd);
    const std::vector<std::uint8_t>& bytes = stream.Bytes();
    const packetCrc crc;

    for (;;) {
        const std::size_t start = stream.Position();
        mssgPacket packet;
        const rcvResult result = packetFrame::Receive(stream, packet);
        if (result != rcvResult::COMPLETE) {
            FUZZ_CHECK(packet.GetData() == nullptr);
            FUZZ_CHECK(result != rcvResult::CLOSED || !failAtEnd);
            FUZZ_CHECK(result != rcvResult::FAILED || failAtEnd);
            break;
        }
        const std::unique_ptr<const std::uint8_t[]> owned(packet.GetData());
        const std::int32_t length = packet.GetLength();
        FUZZ_CHECK(length >= 0 && length <= MAX_PACKET_LENGTH);
        const std::size_t frameSize = static_cast<std::size_t>(length) + 10;
        FUZZ_CHECK(stream.Position() - start == frameSize);
        const std::uint8_t* frame = bytes.data() + start;
        FUZZ_CHECK(packet.GetType() == frame[0] && packet.GetStep() == frame[1]);
        FUZZ_CHECK(std::equal(frame + 8, frame + frameSize, packet.GetData()));

        stream.ClearSent();
        packetFrame::Send(stream, packet);
        const std::vector<std::uint8_t>& sent = stream.Sent();
        FUZZ_CHECK(sent.size() == frameSize);
        FUZZ_CHECK(std::equal(frame, frame + 6, sent.begin()));
        FUZZ_CHECK(std::equal(frame + 8, frame + 8 + length, sent.begin() + 8));
        FUZZ_CHECK(crc.CheckCrc(sent.data(), 8));
        FUZZ_CHECK(crc.CheckCrc(sent.data() + 8, length + 2));
        const bool headerRight = crc.CheckCrc(frame, 8);
        const bool dataRight = crc.CheckCrc(frame + 8, length + 2);
        FUZZ_CHECK(headerRight == std::equal(frame + 6, frame + 8, sent.begin() + 6));
        FUZZ_CHECK(dataRight ==
                   std::equal(frame + 8 + length, frame + frameSize, sent.begin() + 8 + length));
    }
    return 0;
}
