// Routing between the buses: a table of twenty routes, frame queues built
// from the ring buffer template and the statistics of the router.
#include "gateway.hpp"
#include "ring.hpp"

namespace vehicle {

struct Route {
  uint32_t source_id;
  uint32_t target_id;
  BusId from;
  BusId to;
  Priority priority;
  uint16_t forwarded;
};

class Router {
public:
  void add(uint32_t source, uint32_t target, BusId from, BusId to, Priority prio);
  bool forward(const Frame &frame);
  void drain();
  static Router *active;

private:
  Route routes_[20];
  uint8_t route_count_ = 0;
  util::RingBuffer<Frame, 10> queue_;
  struct {
    uint32_t forwarded;
    uint32_t dropped;
    uint16_t peak_queue;
  } stats_;
};

Router *Router::active;

void Router::add(uint32_t source, uint32_t target, BusId from, BusId to, Priority prio) {
  if (route_count_ >= 20u)
    return;
  routes_[route_count_++] = Route{source, target, from, to, prio, 0};
}

bool Router::forward(const Frame &frame) {
  static uint32_t lookups; // vehicle::Router->forward@lookups
  for (uint8_t i = 0; i < route_count_; ++i) {
    ++lookups;
    Route &r = routes_[i];
    if (r.source_id != frame.id || r.from != frame.bus)
      continue;
    Frame out = frame;
    out.id = r.target_id;
    out.bus = r.to;
    if (!queue_.push(out)) {
      ++stats_.dropped;
      return false;
    }
    ++r.forwarded;
    ++stats_.forwarded;
    if (queue_.size() > stats_.peak_queue)
      stats_.peak_queue = static_cast<uint16_t>(queue_.size());
    return true;
  }
  return false;
}

void Router::drain() {
  Frame f;
  while (queue_.pop(f))
    util::Pair<uint32_t, uint8_t>::last = {f.id, f.length};
}

namespace {
// File-local objects in an anonymous namespace; signals.cpp has its own "count".
Router router;
uint8_t count;
} // namespace

util::RingBuffer<uint16_t, 32> g_event_queue;
util::RingBuffer<Frame, 5> g_diag_queue;

void route_frame(const Frame &frame) {
  if (!Router::active) {
    Router::active = &router;
    router.add(0x100, 0x500, BusId::Powertrain, BusId::Body, Priority::High);
    router.add(0x180, 0x580, BusId::Powertrain, BusId::Body, Priority::Normal);
    router.add(0x7DF, 0x7E0, BusId::Diagnostic, BusId::Powertrain, Priority::Safety);
  }
  if (Router::active->forward(frame))
    ++count;
  else if (frame.bus == BusId::Diagnostic)
    g_diag_queue.push(frame);
  g_event_queue.push(static_cast<uint16_t>(frame.id));
  if (count > 200u) {
    Router::active->drain();
    count = 0;
  }
}

} // namespace vehicle
