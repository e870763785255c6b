#pragma once
#include "FlashWriter.h"
#include "GangView.h"
#include "LoadedHex.h"
#include "PortLink.h"
#include "RunLog.h"
#include "RunPacer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct BoardResult;

// What the ports of a gang run share. The image is read-only; the view and
// the log lock for themselves.
struct GangShared {
    const LoadedHex* image = nullptr;
    bool repeat = false;
    int count = 0;                 // with repeat: boards per port, 0 for no limit
    double waitSeconds = -1;       // < 0: search without limit
    bool trace = false;
    const std::atomic<bool>* interrupted = nullptr;
    IGangView* view = nullptr;
    RunLog* log = nullptr;        // nullptr: no log
    std::string note;              // for every log line (a warning about the file)
    bool force = false;            // write a file built for the other chip (warned about)
    FlashRunOptions run;           // --full, --baud
    // The clock and sleep of every board's run (empty: real ones).
    CRunPacer::Options pacer;
    // Between boards, in milliseconds.
    // Silence before asking whether the board is still there: longer than the
    // 3 s after which our bootloader starts the program it was given, since a
    // wake-up sooner would keep it in the bootloader for ever.
    int leaveQuietMs = 3500;
    int answerMs = 60;             // for the answer to that wake-up
    int reopenPauseMs = 250;       // between tries to open a port that went away
};

// One port of a gang run as the loop sees it.
struct GangPort {
    std::string name;  // as the user gave it (COM5, /dev/ttyUSB2)
    // The port's link, not yet open. Called once.
    std::function<std::unique_ptr<IPortLink>()> makeLink;
    // Why the port cannot be opened, for the link as it stands.
    std::function<std::string(const IPortLink&)> openError;
};

// One port of a gang run: its own link, engine and host, board after board
// with repeat. Run is the body of the port's thread.
class BoardLoop {
public:
    BoardLoop(GangPort port, size_t slot, const GangShared& shared);
    void Run();
    const PortTally& Tally() const { return m_tally; }

private:
    // Searches for a board and programs it. false when the port's run is over.
    bool ProgramOneBoard(const IPortLink& port, ISerialLink& line);
    // Counts, shows and logs a board that has started (its chip answered).
    void Record(const BoardResult& result, const char* outcome, const BoardEnd& end);
    void Fail(const BoardEnd& end, const std::string& problem);
    // After a board: quiet, then a wake-up now and then, until no bootloader
    // answers (the board was taken away, reset into its program, or the port
    // went away). Until then it is the same board, not the next one.
    void WaitForBoardToLeave(ISerialLink& line);
    bool ReopenWhenBack(ISerialLink& line, const IPortLink& port);
    bool Interrupted() const;
    bool Pause(int ms) const;

    GangPort m_port;
    size_t m_slot;
    const GangShared& m_shared;
    IGangView& m_view;
    std::string m_device;
    int64_t m_waitStartMs = 0;  // when the search for the next board began (for the wait)
    PortTally m_tally;
};
