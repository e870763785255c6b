#pragma once
// The PIC16F88/PIC16F819 data EEPROM, 256 bytes, as the datasheets have it:
// a read gives the byte at once; a write takes its own time (4 ms typical)
// while the CPU runs on, WR reads set until it is done, and then EEIF (PIR2
// bit 4) is set. The unlock sequence and WREN are checked by the caller
// (FlashSelfWrite), which owns EECON1 and EECON2.
#include "EepromHex.h"
#include <gpsim/trigger.h>
#include <string>

class Processor;

class DataEeprom : public TriggerObject {
public:
    // Starts with what gpsim loaded from the program's HEX file (it leaves
    // 0x00 where the file has nothing; Load says exactly).
    explicit DataEeprom(Processor* cpu);
    ~DataEeprom() override;

    // The bytes the HEX file gives, 0xFF elsewhere.
    bool Load(const std::string& hexPath, std::string& error);

    unsigned Read(unsigned address) const { return m_bytes[address % m_bytes.size()]; }
    void StartWrite(unsigned address, unsigned value);
    bool Busy() const { return m_busy; }
    const EepromBytes& Bytes() const { return m_bytes; }

    void callback() override;
    void callback_print() override;

private:
    Processor* m_cpu;
    EepromBytes m_bytes;
    bool m_busy = false;
    unsigned m_address = 0, m_value = 0;
};
