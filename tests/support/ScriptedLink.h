#pragma once
#include "SerialLink.h"
#include <algorithm>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

// A serial line whose far end is a script. Replies become readable at a
// given tick of the host's fake clock; every write first discards whatever
// is still unread, like the real port.
class ScriptedLink : public ISerialLink {
public:
    explicit ScriptedLink(const int& tick) : m_tick(tick) {}

    int Open() override { open = true; return 1; }
    int Close() override { const int was = open ? 1 : 0; open = false; return was; }
    bool IsOpen() const override { return open; }
    int AnswerSlackMs() const override { return answerSlackMs; }
    bool SetRate(int baud) override
    {
        if (!switchable) return false;
        rate = baud;
        rates.push_back(baud);
        return true;
    }
    bool CanSetRate(int) const override { return switchable; }

    int Read(uint8_t* buffer, uint32_t count) override
    {
        if (!open) return 0;
        ++reads;
        uint32_t n = 0;
        while (n < count && !rx.empty() && rx.front().first <= m_tick) {
            buffer[n++] = rx.front().second;
            rx.pop_front();
        }
        return static_cast<int>(n);
    }
    int Write(const uint8_t* buffer, uint32_t count) override
    {
        if (!open) return 0;
        rx.clear();
        writes.emplace_back(buffer, buffer + count);
        if (onWrite) onWrite(writes.back());
        return 1;
    }

    // Makes bytes readable delayTicks after the current tick.
    void Reply(std::vector<uint8_t> bytes, int delayTicks = 0)
    {
        for (uint8_t b : bytes) rx.emplace_back(m_tick + delayTicks, b);
    }

    // Frames written so far (everything but single wake-up bytes).
    std::vector<std::vector<uint8_t>> Frames() const
    {
        std::vector<std::vector<uint8_t>> frames;
        for (const auto& w : writes)
            if (w.size() > 1) frames.push_back(w);
        return frames;
    }
    size_t WakeUps() const
    {
        return static_cast<size_t>(std::count_if(writes.begin(), writes.end(),
                                                 [](const auto& w) { return w.size() == 1 && w[0] == 0xC1; }));
    }

    bool open = true;
    int reads = 0;
    int answerSlackMs = 0;  // a network line's round trip
    bool switchable = false;  // SetRate works
    int rate = 19200;
    std::vector<int> rates;   // every rate set, in order
    std::function<void(const std::vector<uint8_t>&)> onWrite;
    std::vector<std::vector<uint8_t>> writes;
    std::deque<std::pair<int, uint8_t>> rx;

private:
    const int& m_tick;
};

// A well-behaved bootloader on the far end of a ScriptedLink: answers the
// wake-up byte with the chip byte and each frame with blockReply(block,
// attempt), where an empty reply means silence.
struct ScriptedBootloader {
    uint8_t chip = 'H';
    std::vector<uint8_t> wakeReply;  // when set, replaces {chip, 0x01}
    int wakeDelay = 1;
    std::function<std::vector<uint8_t>(uint32_t block, int attempt)> blockReply;
    std::vector<uint32_t> blocksSeen;

    void Attach(ScriptedLink& link)
    {
        link.onWrite = [this, &link](const std::vector<uint8_t>& w) {
            if (w.size() == 1 && w[0] == 0xC1) {
                link.Reply(wakeReply.empty() ? std::vector<uint8_t>{chip, 0x01} : wakeReply, wakeDelay);
                return;
            }
            const uint32_t block = ((static_cast<uint32_t>(w[0]) << 8) | w[1]) * 2 / 64;
            const int attempt = static_cast<int>(std::count(blocksSeen.begin(), blocksSeen.end(), block));
            blocksSeen.push_back(block);
            const std::vector<uint8_t> reply = blockReply ? blockReply(block, attempt) : std::vector<uint8_t>{'K'};
            link.Reply(reply, 1);
        };
    }
};
