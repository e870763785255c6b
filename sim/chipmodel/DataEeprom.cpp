#include "DataEeprom.h"
#include <gpsim/gpsim_time.h>
#include <gpsim/pir.h>
#include <gpsim/processor.h>
#include <cstdio>

namespace {
// Datasheet: a data EEPROM write cycle takes 4 ms typical.
constexpr double kWriteSeconds = 0.004;
constexpr unsigned kPir2 = 0x0D, kEeif = 1 << 4;
}  // namespace

DataEeprom::DataEeprom(Processor* cpu) : m_cpu(cpu)
{
    m_bytes.fill(0xFF);
    if (!cpu || cpu->ema.get_size() < m_bytes.size()) return;
    for (unsigned a = 0; a < m_bytes.size(); ++a)
        if (Register* cell = cpu->ema.get_register(a)) m_bytes[a] = static_cast<uint8_t>(cell->get_value());
}

DataEeprom::~DataEeprom()
{
    if (m_busy) get_cycles().clear_break(this);
}

bool DataEeprom::Load(const std::string& hexPath, std::string& error)
{
    return ReadEepromFromHex(hexPath, m_bytes, error);
}

void DataEeprom::StartWrite(unsigned address, unsigned value)
{
    m_address = address % m_bytes.size();
    m_value = value & 0xFF;
    m_busy = true;
    const double cps = get_cycles().instruction_cps();
    get_cycles().set_break(get_cycles().get() + static_cast<guint64>(kWriteSeconds * (cps > 0 ? cps : 2e6)), this);
}

void DataEeprom::callback()
{
    m_bytes[m_address] = static_cast<uint8_t>(m_value);
    m_busy = false;
    // Through gpsim's PIR2, so an enabled EEIE interrupts as on the chip.
    Register* pir2 = m_cpu->registers[kPir2];
    if (auto* pir = dynamic_cast<PIR*>(pir2)) pir->set_eeif();
    else pir2->put_value(pir2->get_value() | kEeif);
}

void DataEeprom::callback_print() { std::printf("fernbow data EEPROM write\n"); }
