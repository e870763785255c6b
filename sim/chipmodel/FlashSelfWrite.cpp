#include "FlashSelfWrite.h"
#include "DataEeprom.h"
#include "HexDump.h"
#include <gpsim/gpsim_time.h>
#include <gpsim/processor.h>
#include <cstdio>
#include <unistd.h>

namespace {
// Register addresses on both chips (bank 2 and 3).
constexpr unsigned kEedata = 0x10C, kEeadr = 0x10D, kEedath = 0x10E, kEeadrh = 0x10F;
constexpr unsigned kEecon1 = 0x18C, kEecon2 = 0x18D;
constexpr unsigned kIntcon = 0x0B, kGie = 0x80;
constexpr unsigned kErased = 0x3FFF;
constexpr unsigned kRowWords = 32;
// Datasheet: erase and write are self-timed, 2 ms typical each.
constexpr double kEraseSeconds = 0.002, kWriteSeconds = 0.002;
}  // namespace

class FlashSelfWrite::Control : public sfr_register {
public:
    Control(FlashSelfWrite& owner, Register* replaced)
        : sfr_register(owner.m_cpu, "eecon1", "EECON1 with program memory"), m_owner(owner)
    {
        address = replaced->address;
    }
    void put(unsigned v) override { m_owner.ControlWritten(v); }
    void put_value(unsigned v) override { m_owner.ControlWritten(v); }
    unsigned get() override { return m_owner.ControlRead(); }
    unsigned get_value() override { return m_owner.ControlRead(); }

private:
    FlashSelfWrite& m_owner;
};

class FlashSelfWrite::Unlock : public sfr_register {
public:
    Unlock(FlashSelfWrite& owner, Register* replaced)
        : sfr_register(owner.m_cpu, "eecon2", "EECON2 with program memory"), m_owner(owner)
    {
        address = replaced->address;
    }
    void put(unsigned v) override { m_owner.UnlockWritten(v); }
    void put_value(unsigned v) override { m_owner.UnlockWritten(v); }
    unsigned get() override { return 0; }
    unsigned get_value() override { return 0; }

private:
    FlashSelfWrite& m_owner;
};

namespace {
// A string attribute that acts when a script sets it to a path (gpsim hands
// the value over either as text or as a Value).
class PathAction : public String {
public:
    PathAction(const char* name, const char* description) : String(name, "", description) {}
    void set(const char* path, int len = 0) override
    {
        String::set(path, len);
        Take(getVal());
    }
    void set(Value* v) override
    {
        char buffer[4096];
        v->get(buffer, sizeof buffer);
        set(buffer);
    }

protected:
    virtual void Take(const char* path) = 0;
};
}  // namespace

// Setting "NAME.dump" to a path writes the program memory there at once, so a
// script can take the flash after its run.
class FlashSelfWrite::DumpAction : public PathAction {
public:
    DumpAction(FlashSelfWrite& owner)
        : PathAction("dump", "set to a path: writes program memory as Intel HEX"), m_owner(owner)
    {
    }

private:
    void Take(const char* path) override
    {
        std::string error;
        if (m_owner.Dump(path, error)) std::printf("fernbow_flash: dump written to %s\n", path);
        else std::printf("fernbow_flash: cannot write the dump: %s\n", error.c_str());
        std::fflush(stdout);
    }
    FlashSelfWrite& m_owner;
};

// Setting "NAME.eeprom_from" to the program's HEX file starts the data EEPROM
// with the bytes the file gives there and 0xFF elsewhere (gpsim's own load
// leaves 0x00 where the file has nothing).
class FlashSelfWrite::EepromLoad : public PathAction {
public:
    EepromLoad(FlashSelfWrite& owner)
        : PathAction("eeprom_from", "set to the program's Intel HEX file: the data EEPROM starts as it gives"),
          m_owner(owner)
    {
    }

private:
    void Take(const char* path) override
    {
        std::string error;
        if (!m_owner.m_eeprom || !m_owner.m_eeprom->Load(path, error)) {
            std::fprintf(stderr, "fernbow_flash: cannot take the data EEPROM from %s: %s\n", path,
                         m_owner.m_eeprom ? error.c_str() : "no processor");
            std::fflush(stderr);
        }
    }
    FlashSelfWrite& m_owner;
};

Module* FlashSelfWrite::Construct(const char* name) { return new FlashSelfWrite(name); }

FlashSelfWrite::FlashSelfWrite(const char* name) : Module(name, "PIC16F88/PIC16F819 program memory self-write and data EEPROM")
{
    m_cpu = get_active_cpu();
    if (!m_cpu || m_cpu->program_memory_size() < kRowWords) {
        std::printf("fernbow_flash: load the processor before this module\n");
        return;
    }
    m_gpsimControl = m_cpu->registers[kEecon1];
    m_gpsimUnlock = m_cpu->registers[kEecon2];
    m_control = new Control(*this, m_gpsimControl);
    m_unlock = new Unlock(*this, m_gpsimUnlock);
    m_cpu->registers[kEecon1] = m_control;
    m_cpu->registers[kEecon2] = m_unlock;
    m_latch.fill(kErased);
    m_eeprom = std::make_unique<DataEeprom>(m_cpu);
    addSymbol(new DumpAction(*this));
    addSymbol(new EepromLoad(*this));
    m_eventsAttr = new Integer("events", -1, "file descriptor that gets E for each row erased, W for each group written; -1 none");
    addSymbol(m_eventsAttr);
}

FlashSelfWrite::~FlashSelfWrite()
{
    if (m_cpu && m_control) {
        m_cpu->registers[kEecon1] = m_gpsimControl;
        m_cpu->registers[kEecon2] = m_gpsimUnlock;
    }
    delete m_control;
    delete m_unlock;
}

unsigned FlashSelfWrite::ControlRead()
{
    // RD reads 0 at once, and so does WR after a program-memory write (the
    // CPU stood still until it was done); a data EEPROM write keeps WR set
    // while it runs.
    return (m_bits & (EEPGD | FREE | WREN)) | (m_eeprom && m_eeprom->Busy() ? unsigned{WR} : 0u);
}

void FlashSelfWrite::UnlockWritten(unsigned value)
{
    m_unlock2[0] = m_unlock2[1];
    m_unlock2[1] = {value, get_cycles().get()};
}

void FlashSelfWrite::ControlWritten(unsigned value)
{
    m_bits = value & (EEPGD | FREE | WREN);
    // Only the program sets WR; while a data EEPROM write runs it reads 1,
    // and writing that back (bsf/bcf on EECON1) starts nothing.
    if (m_eeprom && m_eeprom->Busy()) value &= ~WR;
    if (!(value & EEPGD)) {
        DataAccess(value);
        return;
    }
    if (value & RD) {
        ReadWord();
        IgnoreNextTwo();
    } else if ((value & WR) && (value & WREN)) {
        if (!WriteMayStart("")) return;
        // The two words after WR are ignored while the write is set up, then
        // the CPU stands still until the cells are done.
        IgnoreNextTwo();
        if (value & FREE) EraseRow();
        else LatchWord();
        m_bits &= ~FREE;
    }
}

// The data EEPROM: a read is there at once; a write runs on its own while
// the CPU goes on.
void FlashSelfWrite::DataAccess(unsigned value)
{
    if (!m_eeprom) return;
    const unsigned address = m_cpu->registers[kEeadr]->get_value();
    if (value & RD) {
        m_cpu->registers[kEedata]->put_value(m_eeprom->Read(address));
    } else if ((value & WR) && (value & WREN)) {
        if (WriteMayStart("data EEPROM ")) m_eeprom->StartWrite(address, m_cpu->registers[kEedata]->get_value());
    }
}

// GIE set is told but, as on the chip, harmless while no interrupt comes;
// one that comes inside the sequence breaks it. Without the unlock sequence
// nothing is written.
bool FlashSelfWrite::WriteMayStart(const char* memory)
{
    if (m_cpu->registers[kIntcon]->get_value() & kGie)
        Violation(memory, "write started with interrupts on (GIE set)", true);
    if (UnlockedForWrite()) return true;
    Violation(memory, "write started without 55h, AAh to EECON2 just before WR", false);
    return false;
}

// The datasheet's sequence, with nothing between: movwf EECON2 (55h), movlw
// AAh, movwf EECON2, bsf EECON1,WR.
bool FlashSelfWrite::UnlockedForWrite()
{
    const unsigned long long now = get_cycles().get();
    const UnlockWrite first = m_unlock2[0], second = m_unlock2[1];
    m_unlock2 = {};  // one sequence arms one write
    return first.value == 0x55 && second.value == 0xAA && second.cycle == first.cycle + 2 && now == second.cycle + 1;
}

void FlashSelfWrite::Violation(const char* memory, const char* what, bool written)
{
    std::fprintf(stderr, "fernbow_flash: violation at 0x%04X: %s%s%s\n", m_cpu->pc->get_value(), memory, what,
                 written ? "" : ", nothing written");
    std::fflush(stderr);
}

// The PC points at the instruction that set RD or WR; it steps on after this
// returns, so moving it two on lands on the third word after, with the two
// ignored words' cycles spent.
void FlashSelfWrite::IgnoreNextTwo()
{
    m_cpu->pc->set_PC((m_cpu->pc->get_value() + 2) % m_cpu->program_memory_size());
    get_cycles().increment();
    get_cycles().increment();
}

void FlashSelfWrite::Report(char event)
{
    gint64 fd = -1;
    m_eventsAttr->get(fd);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t w = ::write(static_cast<int>(fd), &event, 1);
}

unsigned FlashSelfWrite::WordAddress()
{
    const unsigned a = (m_cpu->registers[kEeadrh]->get_value() << 8) | m_cpu->registers[kEeadr]->get_value();
    return a % m_cpu->program_memory_size();
}

void FlashSelfWrite::ReadWord()
{
    const unsigned word = m_cpu->pma->get_opcode(WordAddress());
    m_cpu->registers[kEedata]->put_value(word & 0xFF);
    m_cpu->registers[kEedath]->put_value((word >> 8) & 0x3F);
}

void FlashSelfWrite::EraseRow()
{
    const unsigned row = WordAddress() & ~(kRowWords - 1);
    for (unsigned a = row; a < row + kRowWords; ++a) m_cpu->pma->put_opcode(a, kErased);
    ++m_erases;
    Report('E');
    Stall(kEraseSeconds);
}

// Words go into a four-word latch; writing the word whose address ends in 11
// programs the group. Programming clears bits only, as a flash cell does: a
// group not erased first keeps the AND of old and new.
void FlashSelfWrite::LatchWord()
{
    const unsigned address = WordAddress();
    const unsigned word = ((m_cpu->registers[kEedath]->get_value() & 0x3F) << 8) | m_cpu->registers[kEedata]->get_value();
    m_latch[address & 3] = word;
    m_latched[address & 3] = true;
    if ((address & 3) != 3) return;
    const unsigned group = address & ~3u;
    for (unsigned i = 0; i < 4; ++i) {
        if (m_latched[i]) m_cpu->pma->put_opcode(group + i, m_cpu->pma->get_opcode(group + i) & m_latch[i]);
        m_latch[i] = kErased;
        m_latched[i] = false;
    }
    ++m_writes;
    Report('W');
    Stall(kWriteSeconds);
}

// The CPU stops while the cells are erased or written; the rest of the chip
// (and the line) keeps its time.
void FlashSelfWrite::Stall(double seconds)
{
    const double cps = get_cycles().instruction_cps();
    const auto cycles = static_cast<unsigned long long>(seconds * (cps > 0 ? cps : 2000000.0));
    for (unsigned long long i = 0; i < cycles; ++i) get_cycles().increment();
}

bool FlashSelfWrite::Dump(const std::string& path, std::string& error)
{
    if (!m_cpu) {
        error = "no processor";
        return false;
    }
    std::vector<uint16_t> words(m_cpu->program_memory_size());
    for (unsigned a = 0; a < words.size(); ++a) words[a] = static_cast<uint16_t>(m_cpu->pma->get_opcode(a));
    return WriteHexDump(path, words, m_eeprom ? m_eeprom->Bytes() : EepromBytes{}, error);
}
