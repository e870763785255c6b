#pragma once
#include "BoardConsole.h"
#include "LoadedHex.h"
#include "PortArgument.h"
#include "RunLog.h"

#include <atomic>
#include <cstdint>
#include <string>

class CBoardHost;
class CFlashWriter;
class CLineWatch;
class IPortLink;

// What the ports of a bench run share. The image is read-only; the console
// and the log lock for themselves.
struct BenchShared {
    const LoadedHex* image = nullptr;
    bool repeat = false;
    int count = 0;                 // with repeat: boards per port, 0 for no limit
    double waitSeconds = -1;       // < 0: search without limit
    bool trace = false;
    const std::atomic<bool>* interrupted = nullptr;
    CBoardConsole* console = nullptr;
    CRunLog* log = nullptr;        // nullptr: no --log
    std::string note;              // for every log line (a warning about the file)
};

// How one port's boards went.
struct PortTally {
    int programmed = 0;
    int failed = 0;
    double programmedSeconds = 0;  // summed over the programmed boards
    int exitStatus = 0;            // of the port's first failure; 0 when none
};

// One port of a bench run: its own serial port, engine and host, board after
// board with --repeat. Run is the body of the port's thread.
class CBoardLoop {
public:
    CBoardLoop(const PortArgument& port, size_t slot, const BenchShared& shared);
    void Run();
    const PortTally& Tally() const { return m_tally; }

private:
    // Searches for a board and programs it. false when the port's run is over.
    bool ProgramOneBoard(CLineWatch& line);
    // Counts, shows and logs a board that has started (its chip answered).
    void Record(const CBoardHost& host, const CFlashWriter& writer, const char* outcome, int exitStatus);
    void Fail(int exitStatus, const std::string& problem);
    // After a board: quiet, then a wake-up now and then, until no bootloader
    // answers (the board was taken away, reset into its program, or the port
    // went away). Until then it is the same board, not the next one.
    void WaitForBoardToLeave(CLineWatch& line);
    bool ReopenWhenBack(CLineWatch& line, const IPortLink& serial);
    bool Interrupted() const;
    bool Pause(int ms) const;

    PortArgument m_port;
    size_t m_slot;
    const BenchShared& m_shared;
    CBoardConsole& m_console;
    std::string m_device;
    int64_t m_waitStartMs = 0;  // when the search for the next board began (for --wait)
    PortTally m_tally;
};
