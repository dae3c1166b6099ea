// fuzz_lsp.cpp - fuzzes the language server's message reader with bytes cut into random pieces,
// and its dispatch with whatever JSON the pieces hold: no crash, no hang, and a message framed by
// the server reads back whole.
#include "app/lsp/lsp_protocol.h"
#include "app/lsp/lsp_server.h"
#include "fuzz_common.h"

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>

using namespace umb::lsp;

namespace {

// What the server writes goes nowhere.
int Sink() {
    static const int fd = ::open("/dev/null", O_WRONLY);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzEnterTempFolder();
    FuzzCheck(Sink() >= 0, "/dev/null to write to");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte says how the rest arrives: in pieces of 1 to 256 bytes.
    const size_t piece = static_cast<size_t>(data[0]) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    // A server of its own for each input, which reads no file, only the documents it is sent.
    Server fresh;
    fresh.out = Sink();
    fresh.readsDisk = false;
    MessageReader reader;
    std::string body;
    size_t messages = 0;
    for (size_t at = 0; at < length; at += piece) {
        FeedBytes(reader, bytes + at, std::min(piece, length - at));
        for (ReadStatus r; (r = NextMessage(reader, body)) != ReadStatus::NeedMore;) {
            FuzzCheck(++messages <= length, "each message takes bytes of the input");
            if (r != ReadStatus::Message) continue;
            FuzzCheck(body.size() <= MaxMessageBody, "a body within the limit");
            const Json message = ParseBody(body);
            if (!message.is_discarded()) {
                // What the server writes, another reader takes back whole.
                MessageReader back;
                const std::string framed = FrameMessage(message);
                FeedBytes(back, framed.data(), framed.size());
                std::string again;
                FuzzCheck(NextMessage(back, again) == ReadStatus::Message &&
                              framed.size() >= again.size() &&
                              framed.compare(framed.size() - again.size(), again.size(), again) ==
                                  0 &&
                              NextMessage(back, again) == ReadStatus::NeedMore,
                          "a framed message reads back whole");
            }
            HandleMessage(fresh, body);
        }
    }
    return 0;
}
