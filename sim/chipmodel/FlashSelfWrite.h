#pragma once
// gpsim module "fernbow_flash": the PIC16F88/PIC16F819 writing its own program
// memory and its data EEPROM. gpsim's models of these chips send every EECON1
// access to a data EEPROM whose writes take a few cycles; this module puts
// its own EECON1 and EECON2 at 0x18C/0x18D that follow the datasheet for
// both. As on silicon: the two instructions after a started erase or write
// and after a program-memory read are ignored, an erase or write (of either
// memory) starts only after 55h and AAh written to EECON2 in the instructions
// just before WR (otherwise nothing is written), and FREE clears itself after
// an erase. A data EEPROM write runs beside the CPU (DataEeprom.h).
// Violations, and WR set with GIE on, are told on stderr.
#include <gpsim/modules.h>
#include <gpsim/registers.h>
#include <gpsim/trigger.h>
#include <gpsim/value.h>
#include <array>
#include <memory>
#include <string>

class DataEeprom;
class Processor;
class Integer;

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

    // Writes the whole program memory as Intel HEX, and the data EEPROM at
    // byte address 0x4200 unless it is all erased; false with a reason.
    bool Dump(const std::string& path, std::string& error);

    unsigned EraseCount() const { return m_erases; }
    unsigned WriteCount() const { return m_writes; }
    // Writes "E" for every row erased and "W" for every group programmed to
    // fd (the "events" attribute; -1 none), so a launcher counts the chip's
    // own writes, whatever the line carries.
    void Report(char event);

private:
    class Control;
    class Unlock;
    class DumpAction;
    class EepromLoad;

    unsigned WordAddress();
    void ReadWord();
    void EraseRow();
    void LatchWord();
    void Stall(double seconds);
    void IgnoreNextTwo();
    void DataAccess(unsigned value);
    bool WriteMayStart(const char* memory);
    bool UnlockedForWrite();
    void Violation(const char* memory, const char* what, bool written);

    Processor* m_cpu = nullptr;
    Register* m_gpsimControl = nullptr;  // gpsim's own EECON1 and EECON2, put back when unloaded
    Register* m_gpsimUnlock = nullptr;
    Control* m_control = nullptr;
    Unlock* m_unlock = nullptr;
    std::unique_ptr<DataEeprom> m_eeprom;
    unsigned m_bits = 0;     // EEPGD, FREE, WREN as the program set them
    // The last two EECON2 writes: value and the cycle they came in.
    struct UnlockWrite {
        unsigned value = 0;
        unsigned long long cycle = 0;
    };
    std::array<UnlockWrite, 2> m_unlock2{};
    Integer* m_eventsAttr = nullptr;
    std::array<unsigned, 4> m_latch{};
    std::array<bool, 4> m_latched{};
    unsigned m_erases = 0, m_writes = 0;
};
