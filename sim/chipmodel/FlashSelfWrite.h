#pragma once
// gpsim module "fernbow_flash": the PIC16F88/PIC16F819 writing its own program
// memory. gpsim's models of these chips send every EECON1 access to the data
// EEPROM; this module puts its own EECON1 and EECON2 at 0x18C/0x18D that
// follow the datasheet for program memory and hand data-EEPROM accesses on to
// gpsim's registers.
#include <gpsim/modules.h>
#include <gpsim/registers.h>
#include <gpsim/trigger.h>
#include <gpsim/value.h>
#include <array>
#include <string>

class Processor;

class FlashSelfWrite : public Module {
public:
    static Module* Construct(const char* name);
    explicit FlashSelfWrite(const char* name);
    ~FlashSelfWrite() override;

    // EECON1 bits (datasheet names).
    enum : unsigned { RD = 1 << 0, WR = 1 << 1, WREN = 1 << 2, WRERR = 1 << 3, FREE = 1 << 4, EEPGD = 1 << 7 };

    // From the replacement registers.
    void ControlWritten(unsigned value);
    unsigned ControlRead();
    void UnlockWritten(unsigned value);

    // Writes the whole program memory as Intel HEX; false with a reason.
    bool Dump(const std::string& path, std::string& error);

    unsigned EraseCount() const { return m_erases; }
    unsigned WriteCount() const { return m_writes; }

private:
    class Control;
    class Unlock;
    class DumpAction;

    unsigned WordAddress();
    void ReadWord();
    void EraseRow();
    void LatchWord();
    void Stall(double seconds);

    Processor* m_cpu = nullptr;
    Register* m_gpsimControl = nullptr;  // gpsim's own EECON1 and EECON2: the data EEPROM
    Register* m_gpsimUnlock = nullptr;
    Control* m_control = nullptr;
    Unlock* m_unlock = nullptr;
    unsigned m_bits = 0;     // EEPGD, FREE, WREN as the program set them
    int m_unlockStep = 0;    // 0, 1 after 0x55, 2 after 0x55 0xAA
    std::array<unsigned, 4> m_latch{};
    std::array<bool, 4> m_latched{};
    unsigned m_erases = 0, m_writes = 0;
};
