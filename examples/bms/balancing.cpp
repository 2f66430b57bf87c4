// Passive cell balancing and the state-of-charge estimation.
#include "bms.hpp"

namespace bms {

Balancer g_balancer;
StateOfCharge g_soc;

void Balancer::update(const CellMonitor &monitor, uint32_t now_ms) {
  static uint32_t last_ms; // bms::Balancer->update@last_ms
  uint32_t elapsed = now_ms - last_ms;
  last_ms = now_ms;
  uint16_t lowest = monitor.min_millivolts();
  active_mask_ = 0;
  for (std::size_t i = 0; i < kCells; ++i) {
    if (monitor.cell(i).millivolts > lowest + threshold_mv_) {
      active_mask_ = static_cast<uint16_t>(active_mask_ | (1u << i));
      bleed_time_ms_[i] += elapsed;
    }
  }
}

void StateOfCharge::integrate(int32_t current_ma, uint32_t elapsed_ms) {
  int32_t filtered = current_filter_.add(current_ma);
  (void)temperature_filter_.add(static_cast<int16_t>(current_ma >> 8));
  charge_mas_ += static_cast<int64_t>(filtered) * elapsed_ms / 1000;
  int64_t capacity_mas = static_cast<int64_t>(kCapacityMah) * 3600;
  int64_t permille = 500 + charge_mas_ * 1000 / capacity_mas;
  percent_x10_ = static_cast<uint16_t>(permille < 0 ? 0 : permille > 1000 ? 1000 : permille);
}

} // namespace bms
