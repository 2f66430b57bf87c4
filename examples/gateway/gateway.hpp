// Body-domain gateway: nodes on two buses, the routing between them and the
// signal database. Shared declarations.
#ifndef GATEWAY_HPP
#define GATEWAY_HPP

#include <stddef.h>
#include <stdint.h>

namespace vehicle {

enum class BusId : uint8_t { Powertrain = 0, Body = 1, Diagnostic = 2 };
enum class Priority : uint16_t { Low = 0x100, Normal = 0x200, High = 0x400, Safety = 0x8000 };
enum class Gear : int8_t { Reverse = -1, Neutral = 0, First, Second, Third, Fourth, Fifth, Sixth };

struct Frame {
  uint32_t id;
  uint8_t length;
  BusId bus;
  uint8_t data[8];
};

// A node on a bus: the common base of every device the gateway knows.
class Node {
public:
  Node(uint16_t address, BusId bus);
  virtual ~Node() {}
  virtual void poll(uint32_t now_ms);
  uint16_t address() const { return address_; }
  static uint32_t instances; // static data member: one instance, at its own address

protected:
  uint16_t address_;
  BusId bus_;
  uint8_t missed_polls_;
  uint32_t last_seen_ms_;
};

// Single inheritance.
class Sensor : public Node {
public:
  Sensor(uint16_t address, BusId bus, int16_t offset);
  void poll(uint32_t now_ms) override;
  int16_t value() const { return value_; }

private:
  int16_t value_;
  int16_t offset_;
  uint8_t history_[10];
};

class Actuator : public Node {
public:
  Actuator(uint16_t address, BusId bus);
  void command(uint16_t target);
  void poll(uint32_t now_ms) override;

protected:
  uint16_t target_;
  uint16_t position_;
  struct Limits {
    uint16_t min;
    uint16_t max;
  } limits_;
};

// A second base without virtual functions.
class Diagnosable {
public:
  void record(uint8_t code);
  static uint16_t total_faults;

protected:
  uint8_t fault_codes_[5];
  uint8_t fault_count_;
};

// Multiple inheritance: the Diagnosable part sits behind the Actuator part.
class SmartActuator : public Actuator, public Diagnosable {
public:
  SmartActuator(uint16_t address, BusId bus, uint16_t current_limit_ma);
  void poll(uint32_t now_ms) override;

private:
  uint16_t current_limit_ma_;
  uint16_t current_ma_;
};

namespace body {
// A plain struct in a nested namespace, with a static member: a struct adds
// no scope of its own to the names.
struct DoorState {
  bool open;
  bool locked;
  uint8_t window_pct;
  static uint8_t doors_open;
};

class Door {
public:
  void update(bool open, uint8_t window_pct);
  DoorState state;
  uint16_t lock_cycles;
  static Door *driver_side; // a static pointer member
};
} // namespace body

namespace powertrain::transmission { // C++17 nested namespace definition
class Shifter {
public:
  void shift(Gear target);
  Gear current() const { return gear_; }
  static uint32_t shift_count;

private:
  Gear gear_ = Gear::Neutral;
  Gear requested_ = Gear::Neutral;
  uint16_t shift_time_ms_ = 0;
};
} // namespace powertrain::transmission

void route_frame(const Frame &frame);
void signals_update(uint32_t now_ms);
uint32_t signals_checksum();

extern Sensor g_oil_sensor;
extern SmartActuator g_mirror_actuator;
extern Sensor g_rain_sensor;
extern SmartActuator g_wiper_actuator;
extern body::Door g_doors[4];
extern powertrain::transmission::Shifter g_shifter;

} // namespace vehicle

#endif
