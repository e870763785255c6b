#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal standing in for the target board: the test talks on the
// master side, CSerialPort opens the slave by its path.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    int Master() const { return m_master; }
    // The test's own handle on the slave: shows the line settings and whether
    // input is waiting, without taking it.
    int Slave() const { return m_slave; }

    void Send(const std::vector<uint8_t>& bytes);
    // Everything the master receives within waitMs (stops early at want bytes).
    std::vector<uint8_t> Receive(size_t want, int waitMs = 2000);
    // true once input is waiting on the slave side (up to waitMs).
    bool SlaveHasInput(int waitMs = 2000);
    // The board goes away: closes the master and the test's slave handle.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// The output rate the terminal fd is set to, in bits per second (-1 on failure).
int OutputRateOf(int fd);

// A temporary XDG_CONFIG_HOME, removed again afterwards.
class TempConfigHome {
public:
    TempConfigHome();
    ~TempConfigHome();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
