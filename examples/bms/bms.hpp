// Battery management system: cell monitoring, balancing, state of charge and
// the communication with the vehicle. Shared declarations.
#ifndef BMS_HPP
#define BMS_HPP

#include <array>
#include <cstddef>
#include <cstdint>

namespace bms {

inline constexpr std::size_t kCells = 12;
inline constexpr std::size_t kTemperatureSensors = 5;

enum class Contactor : uint8_t { Open, Precharge, Closed, Welded };
enum class Fault : uint32_t {
  None = 0,
  OverVoltage = 1u << 0,
  UnderVoltage = 1u << 1,
  OverTemperature = 1u << 2,
  Isolation = 1u << 3,
  Communication = 1u << 16,
};

// Status word of one cell as the monitoring chip reports it.
struct CellStatus {
  uint16_t open_wire : 1;
  uint16_t balancing : 1;
  uint16_t over_voltage : 1;
  uint16_t under_voltage : 1;
  uint16_t adc_code : 12;
};

// struct inheritance: a structure adds no scope of its own to the names.
struct Measurement {
  uint32_t timestamp_ms;
  uint8_t quality;
};

struct CellVoltage : Measurement {
  uint16_t millivolts;
  CellStatus status;
};

struct Temperature : Measurement {
  int16_t deci_celsius;
};

// A monitoring chip on the isolated SPI daisy chain; it keeps a reference to
// its bus and the raw register images of its cells.
class SpiBus;

class CellMonitor {
public:
  CellMonitor(SpiBus &bus, uint8_t chain_position);
  void read_cells(uint32_t now_ms);
  uint16_t min_millivolts() const;
  uint16_t max_millivolts() const;
  const CellVoltage &cell(std::size_t index) const { return cells_[index]; }

  class Diagnostics { // a nested class with a static member
  public:
    uint16_t crc_errors;
    uint16_t timeouts;
    static uint32_t total_resets;
  };

  Diagnostics diagnostics;

private:
  SpiBus &bus_; // a reference member
  uint8_t chain_position_;
  std::array<CellVoltage, kCells> cells_;
  std::array<Temperature, kTemperatureSensors> temperatures_;
};

class SpiBus {
public:
  explicit SpiBus(volatile uint32_t *data_register) : data_register_(data_register) {}
  uint16_t transfer(uint16_t word);

private:
  volatile uint32_t *data_register_;
  uint32_t transfers_ = 0;
  uint16_t last_word_ = 0;
};

// Passive balancing: one bleed resistor per cell.
class Balancer {
public:
  void update(const CellMonitor &monitor, uint32_t now_ms);
  uint16_t active_mask() const { return active_mask_; }

private:
  uint16_t active_mask_ = 0;
  uint16_t threshold_mv_ = 10;
  std::array<uint32_t, kCells> bleed_time_ms_{};
};

// State of charge by coulomb counting, with a correction table.
template <typename Sample, std::size_t Window> class MovingAverage {
public:
  Sample add(Sample value) {
    sum_ = sum_ - window_[index_] + value;
    window_[index_] = value;
    index_ = (index_ + 1u) % Window;
    ++samples_taken;
    return static_cast<Sample>(sum_ / static_cast<int64_t>(Window));
  }
  static uint32_t samples_taken;

private:
  Sample window_[Window] = {};
  int64_t sum_ = 0;
  std::size_t index_ = 0;
};
template <typename Sample, std::size_t Window> uint32_t MovingAverage<Sample, Window>::samples_taken;

class StateOfCharge {
public:
  void integrate(int32_t current_ma, uint32_t elapsed_ms);
  uint16_t percent_x10() const { return percent_x10_; }
  static const uint16_t kCapacityMah = 52000;

private:
  int64_t charge_mas_ = 0;
  uint16_t percent_x10_ = 500;
  MovingAverage<int32_t, 20> current_filter_;
  MovingAverage<int16_t, 5> temperature_filter_;
};

// Messages to the vehicle.
struct StatusFrame {
  uint16_t pack_voltage_x10;
  int16_t pack_current_x10;
  uint16_t soc_x10;
  Contactor contactor : 2;
  uint8_t balancing_active : 1;
  uint8_t fault_present : 1;
  uint8_t alive : 4;
  uint8_t checksum;
};

// C++17 inline variable: every unit that uses it defines it, the linker keeps one.
inline uint32_t g_comm_timeouts;

void comm_send_status(const StatusFrame &frame);
void comm_task(uint32_t now_ms);
uint32_t comm_frames_sent();

extern CellMonitor g_monitors[2];
extern Balancer g_balancer;
extern StateOfCharge g_soc;
extern Fault g_active_faults;
extern Contactor g_contactor;

} // namespace bms

#endif
