#pragma once
#include "ChipTable.h"
#include "SerialLink.h"

#include <cstdint>
#include <functional>

// Waking the bootloader, shared by the search and by a bench that asks
// whether a board is still on its port.

// What a listener says before each read of the answer.
enum class ListenStep { Go, TimeUp, Abandon };

struct ListenResult {
    uint32_t got = 0;        // answer bytes read (0 to 2)
    bool abandoned = false;  // step() said Abandon
};

// Ticks the answer to a wake-up may take on link beyond a local port's
// (its AnswerSlackMs, rounded up to whole ticks; 0 on a local port).
int AnswerSlackTicks(const ISerialLink& link);

// Sends the wake-up byte; nonzero when it was written.
int SendWakeUp(ISerialLink& link);

// Reads up to two answer bytes until at least one has come. step() is asked
// before every read: Go reads, TimeUp and Abandon end the wait.
ListenResult ListenForAnswer(ISerialLink& link, uint8_t answer[2], const std::function<ListenStep()>& step);

// One wake-up byte and answerMs of real time (plus the link's answer slack)
// for the answer: true when a bootloader (either chip) answers it.
bool BootloaderAnswers(ISerialLink& link, int answerMs);
