#pragma once
#include <string>

// Makes the board appear as COMn to the host: a symlink COMn in the Ports
// folder of the configuration home, pointing at the pty. Removed again when
// the object goes, if it still points at that pty.
class ComLink {
public:
    ComLink() = default;
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;
    ~ComLink() { Remove(); }

    bool Create(int port, const std::string& target, std::string& error);
    void Remove();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_target;
};

class PtyBoard;

// The board's connector for the host: its pseudo-terminal opened and, with
// com >= 0, the COMn link to it made. false (the reason on standard error,
// as fernbow-sim says it) when either cannot be had.
bool OpenBoardLine(int com, PtyBoard& board, ComLink& link);
