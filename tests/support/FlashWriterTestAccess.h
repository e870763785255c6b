#pragma once
#include "FlashWriter.h"

// The engine's framing and digit reading, reached by the tests only.
struct FlashWriterTestAccess {
    static int SendFrame(CFlashWriter& writer, uint8_t* frame, uint32_t length)
    {
        return writer.SendFrame(frame, length);
    }
    static uint8_t HexPairToByte(const CFlashWriter& writer, const char* pair) { return writer.HexPairToByte(pair); }
};
