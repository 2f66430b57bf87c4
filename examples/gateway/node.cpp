// Nodes on the buses: sensors, actuators and a smart actuator with its own
// fault memory.
#include "gateway.hpp"

namespace vehicle {

uint32_t Node::instances;
uint16_t Diagnosable::total_faults;

// Nodes owned by this module, defined next to the classes' virtual functions.
Sensor g_rain_sensor(0x22, BusId::Body, 0);
SmartActuator g_wiper_actuator(0x41, BusId::Body, 900);

Node::Node(uint16_t address, BusId bus) : address_(address), bus_(bus), missed_polls_(0), last_seen_ms_(0) {
  ++instances;
}

void Node::poll(uint32_t now_ms) {
  static uint32_t polls; // a static local in an out-of-class member function
  ++polls;
  if (now_ms - last_seen_ms_ > 100u && missed_polls_ < 255u)
    ++missed_polls_;
}

Sensor::Sensor(uint16_t address, BusId bus, int16_t offset) : Node(address, bus), value_(0), offset_(offset) {
  for (auto &h : history_)
    h = 0;
}

void Sensor::poll(uint32_t now_ms) {
  static uint8_t cursor; // vehicle::Sensor->poll@cursor
  Node::poll(now_ms);
  value_ = static_cast<int16_t>((now_ms & 0x3FFu) + offset_);
  history_[cursor] = static_cast<uint8_t>(value_);
  cursor = static_cast<uint8_t>((cursor + 1u) % sizeof history_);
  last_seen_ms_ = now_ms;
}

Actuator::Actuator(uint16_t address, BusId bus) : Node(address, bus), target_(0), position_(0), limits_{0, 1000} {}

void Actuator::command(uint16_t target) {
  target_ = target < limits_.min ? limits_.min : target > limits_.max ? limits_.max : target;
}

void Actuator::poll(uint32_t now_ms) {
  Node::poll(now_ms);
  if (position_ < target_)
    ++position_;
  else if (position_ > target_)
    --position_;
}

void Diagnosable::record(uint8_t code) {
  if (fault_count_ < sizeof fault_codes_)
    fault_codes_[fault_count_++] = code;
  ++total_faults;
}

SmartActuator::SmartActuator(uint16_t address, BusId bus, uint16_t current_limit_ma)
    : Actuator(address, bus), current_limit_ma_(current_limit_ma), current_ma_(0) {}

void SmartActuator::poll(uint32_t now_ms) {
  static uint16_t overcurrent_events; // vehicle::SmartActuator->poll@overcurrent_events
  Actuator::poll(now_ms);
  current_ma_ = static_cast<uint16_t>((position_ * 3u) & 0x7FFu);
  if (current_ma_ > current_limit_ma_) {
    ++overcurrent_events;
    record(0x42);
  }
}

namespace body {
uint8_t DoorState::doors_open;
Door *Door::driver_side;

void Door::update(bool open, uint8_t window_pct) {
  if (open && !state.open)
    ++DoorState::doors_open;
  else if (!open && state.open && DoorState::doors_open > 0)
    --DoorState::doors_open;
  state.open = open;
  state.window_pct = window_pct;
  if (state.locked)
    ++lock_cycles;
}
} // namespace body

namespace powertrain::transmission {
uint32_t Shifter::shift_count;

void Shifter::shift(Gear target) {
  static Gear last_requested = Gear::Neutral; // a static local of enumeration type
  requested_ = target;
  if (target != last_requested) {
    last_requested = target;
    gear_ = target;
    shift_time_ms_ = 350;
    ++shift_count;
  }
}
} // namespace powertrain::transmission

} // namespace vehicle
