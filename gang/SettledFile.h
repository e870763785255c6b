#pragma once
#include "FileWatch.h"

#include <cstdint>
#include <string>

// What --watch takes: a file whose content differs from the last one
// programmed and has stayed the same for the settle time. Any sign of a
// change (an event, a new size or time) starts a judgement: once the signs
// have stopped the content is read (its SHA-256), and a settle time later it
// is read again. It is taken when both reads agree, no sign came between
// them and, where the system tells (inotify), no writer still has the file
// open after writing to it. A file that is missing is not taken; one that
// cannot be read is, so that the run says why.
class SettledFile {
public:
    // The content now is the one the first run is about to program.
    SettledFile(const std::string& path, int settleMs);

    // true once the file holds new content that has settled; false when
    // waitMs passed without it. The judgement goes on across calls, so a
    // wait of 0 can be asked between other work (the monitor).
    bool NewContent(int waitMs);
    // The content NewContent found goes to a run now.
    void Taken();
    // The run of the content last taken has programmed it: the same content
    // again is no change. (After a failed run, saving the same file again
    // programs it.)
    void Programmed();

private:
    struct Content {
        bool present = false;  // false: there is no such file
        std::string sha256;    // empty: present, but it could not be read
        bool operator==(const Content& other) const
        {
            return present == other.present && sha256 == other.sha256;
        }
        bool operator!=(const Content& other) const { return !(*this == other); }
    };
    Content Read() const;
    // A sign of change: the judgement starts again.
    void SignSeen();

    std::string m_path;
    FileWatch m_watch;
    int m_settleMs;
    bool m_judging = false;   // a sign came, and the file is not judged since
    int64_t m_lastSignMs = 0;
    bool m_read = false;      // judging: the first read is done
    Content m_firstRead;
    int64_t m_firstReadMs = 0;
    Content m_found;          // what NewContent last found
    Content m_inHand;         // what the run now going (or last gone) took
    bool m_anyProgrammed = false;
    Content m_programmed;
};
