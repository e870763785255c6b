#pragma once
#include "SessionView.h"

#include <string>

// One board's session on stderr; portName names the port in the messages.
class SessionMessages : public SessionView {
public:
    explicit SessionMessages(std::string portName) : m_portName(std::move(portName)) {}

    void MonitorRateRefused(int baud) override;
    void PulseRefused(ModemLine line) override;
    void Watching(const std::string& file) override;
    void FileChanged(const std::string& file) override;
    void MonitorStarted(int baud, bool watching) override;
    void MonitorEnded(MonitorEnd end) override;

private:
    std::string m_portName;
};
