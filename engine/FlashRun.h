#pragma once
#include "FlashWriter.h"
#include "SerialLink.h"

#include <functional>
#include <string>

// How one press of "Write Flash" (or one fernbow-cli run) ended.
struct FlashRunResult {
    enum class Stop {
        PortNotOpened,  // nothing else happened
        FileNotOpened,  // the port is left open, as the dialog expects
        Ran,            // the engine ran; outcome says how it went, the port is closed
    };
    Stop stop = Stop::PortNotOpened;
    FlashOutcome outcome = FlashOutcome::None;
};

// One run as every front end does it: open the port unless it is open, open
// the file, load it and program the target, close the port. Front ends only
// present what happened.
class CFlashRun {
public:
    CFlashRun(ISerialLink& link, CFlashWriter& writer) : m_link(link), m_writer(writer) {}

    // onStarted is called once the port and the file are open, just before
    // the file is loaded (the dialog disables its commands there).
    FlashRunResult Run(const std::string& fileName, const std::function<void()>& onStarted = {});

private:
    ISerialLink& m_link;
    CFlashWriter& m_writer;
};

// The message a front end shows when a run ended without the status line
// telling it ("Can't open comport", "Can't open file", "Can't read file",
// "No program data in file"),
// or nullptr when the status line has said it all.
const char* RunFailureText(const FlashRunResult& result);
