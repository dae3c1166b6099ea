// headless_streams.h - the key script a test feeds the headless driver and the output it writes.
#pragma once

#include "ui/gfx/gfx.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace umb::gfx;

struct HeadlessStreams {
    // Captures the output from now on, with no keys yet: the first read ends the input.
    void Open() {
        out = open_memstream(&outText, &outSize);
        GfxUseHeadless(true);
        SetKeys("");
    }
    // The keys the next prompts read; running out of them would end the process.
    void SetKeys(const std::string& k) {
        GfxSetHeadlessStreams(nullptr, out);
        if (keys != nullptr) std::fclose(keys);
        keyText = k;
        // An empty memory stream cannot be opened everywhere, so no keys read from /dev/null.
        keys = keyText.empty() ? std::fopen("/dev/null", "rb")
                               : fmemopen(keyText.data(), keyText.size(), "rb");
        GfxSetHeadlessStreams(keys, out);
    }
    bool AllKeysUsed() const { return std::ftell(keys) == static_cast<long>(keyText.size()); }
    // Everything written so far: transcript lines and screen dumps.
    std::string Output() {
        std::fflush(out);
        return std::string(outText, outSize);
    }
    void Close() {
        GfxSetHeadlessStreams(nullptr, nullptr);
        if (keys != nullptr) std::fclose(keys);
        if (out != nullptr) std::fclose(out);
        std::free(outText);
        *this = HeadlessStreams{};
    }

    std::string keyText;
    FILE* keys = nullptr;
    FILE* out = nullptr;
    char* outText = nullptr;
    size_t outSize = 0;
};
