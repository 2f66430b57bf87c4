// Cell monitoring: two monitoring chips on one SPI daisy chain.
#include "bms.hpp"

namespace bms {

uint32_t CellMonitor::Diagnostics::total_resets;

// The SPI data register; the simulator keeps it in RAM.
volatile uint32_t g_spi_data_register;
SpiBus g_spi(&g_spi_data_register);
CellMonitor g_monitors[2] = {CellMonitor(g_spi, 0), CellMonitor(g_spi, 1)};

uint16_t SpiBus::transfer(uint16_t word) {
  *data_register_ = word;
  ++transfers_;
  last_word_ = static_cast<uint16_t>(*data_register_ ^ 0x5A5Au);
  return last_word_;
}

CellMonitor::CellMonitor(SpiBus &bus, uint8_t chain_position)
    : diagnostics{0, 0}, bus_(bus), chain_position_(chain_position), cells_{}, temperatures_{} {
  static uint8_t constructed; // a static local in a constructor
  ++constructed;
}

void CellMonitor::read_cells(uint32_t now_ms) {
  static uint32_t reads; // bms::CellMonitor->read_cells@reads
  ++reads;
  for (std::size_t i = 0; i < kCells; ++i) {
    uint16_t raw = bus_.transfer(static_cast<uint16_t>((chain_position_ << 8) | i));
    CellVoltage &cell = cells_[i];
    cell.timestamp_ms = now_ms;
    cell.status.adc_code = raw & 0x0FFFu;
    cell.millivolts = static_cast<uint16_t>(2500u + (raw & 0x07FFu));
    cell.status.over_voltage = cell.millivolts > 4200u;
    cell.status.under_voltage = cell.millivolts < 2800u;
    cell.quality = cell.status.open_wire ? 0 : 100;
    if (raw == 0xFFFFu)
      ++diagnostics.crc_errors;
  }
  for (std::size_t t = 0; t < kTemperatureSensors; ++t) {
    temperatures_[t].timestamp_ms = now_ms;
    temperatures_[t].deci_celsius = static_cast<int16_t>(bus_.transfer(static_cast<uint16_t>(0x100u + t)) % 600);
  }
  if (diagnostics.crc_errors > 100u) {
    diagnostics.crc_errors = 0;
    ++Diagnostics::total_resets;
  }
}

uint16_t CellMonitor::min_millivolts() const {
  uint16_t lowest = 0xFFFF;
  for (const auto &cell : cells_)
    lowest = cell.millivolts < lowest ? cell.millivolts : lowest;
  return lowest;
}

uint16_t CellMonitor::max_millivolts() const {
  uint16_t highest = 0;
  for (const auto &cell : cells_)
    highest = cell.millivolts > highest ? cell.millivolts : highest;
  return highest;
}

} // namespace bms
