// Communication with the vehicle: the status frame and a small transmit log.
#include "bms.hpp"

namespace bms {

namespace {
struct TxLogEntry {
  uint32_t timestamp_ms;
  StatusFrame frame;
};
std::array<TxLogEntry, 10> tx_log;
uint8_t tx_log_head;
uint32_t frames_sent;
} // namespace

void comm_send_status(const StatusFrame &frame) {
  TxLogEntry &entry = tx_log[tx_log_head];
  entry.frame = frame;
  entry.timestamp_ms = frames_sent * 100u;
  tx_log_head = static_cast<uint8_t>((tx_log_head + 1u) % tx_log.size());
  ++frames_sent;
}

void comm_task(uint32_t now_ms) {
  static StatusFrame frame; // a static local of structure type with bit fields
  auto checksum = [](const StatusFrame &f) {
    static uint32_t computed; // a static local in a lambda
    ++computed;
    return static_cast<uint8_t>(f.pack_voltage_x10 ^ f.pack_current_x10 ^ f.soc_x10);
  };
  frame.pack_voltage_x10 = static_cast<uint16_t>(g_monitors[0].max_millivolts() / 10u * 12u);
  frame.pack_current_x10 = static_cast<int16_t>(now_ms & 0x3FFu);
  frame.soc_x10 = g_soc.percent_x10();
  frame.contactor = g_contactor;
  frame.balancing_active = g_balancer.active_mask() != 0u;
  frame.fault_present = g_active_faults != Fault::None;
  frame.alive = static_cast<uint8_t>(frame.alive + 1u);
  frame.checksum = checksum(frame);
  comm_send_status(frame);
  if (now_ms - tx_log[0].timestamp_ms > 5000u)
    ++g_comm_timeouts;
}

uint32_t comm_frames_sent() { return frames_sent + g_comm_timeouts; }

} // namespace bms
