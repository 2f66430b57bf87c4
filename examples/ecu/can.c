/* CAN driver: hardware-style mailboxes, a receive ring buffer and the
   transmit schedule of the ECU's cyclic messages. */
#include "ecu_types.h"

#define CAN_MAILBOXES 10
#define CAN_RX_RING 32
#define CAN_TX_MESSAGES 5

/* Identifier word as the controller stores it: standard or extended frame. */
typedef union {
  uint32_t raw;
  struct {
    uint32_t ext_id : 18; /* low part of a 29-bit identifier */
    uint32_t std_id : 11;
    uint32_t ide : 1; /* extended frame */
    uint32_t rtr : 1; /* remote request */
    uint32_t reserved : 1;
  } bits;
} can_id_t;

typedef union {
  uint8_t bytes[8];
  uint16_t halfwords[4];
  uint32_t words[2];
  uint64_t dword;
} can_payload_t;

typedef struct {
  can_id_t id;
  uint8_t dlc : 4;
  uint8_t brs : 1;
  uint8_t fdf : 1;
  uint8_t esi : 1;
  uint8_t valid : 1;
  uint8_t channel;
  uint16_t timestamp;
  can_payload_t data;
} can_frame_t;

typedef struct {
  can_frame_t frames[CAN_RX_RING];
  uint8_t head;
  uint8_t tail;
  uint16_t high_water;
  uint32_t overflows;
} can_rx_ring_t;

typedef enum { MB_EMPTY, MB_FULL, MB_OVERRUN, MB_TX_PENDING } mailbox_state_t;

typedef struct {
  can_frame_t frame;
  mailbox_state_t state;
  uint8_t filter_index;
} can_mailbox_t;

typedef struct {
  uint32_t id;
  uint16_t cycle_ms;
  uint16_t countdown_ms;
  uint8_t alive_counter;
  uint8_t crc;
  can_payload_t payload;
} can_tx_message_t;

can_mailbox_t g_can_mailboxes[CAN_MAILBOXES];
static can_rx_ring_t rx_ring;
static can_tx_message_t tx_messages[CAN_TX_MESSAGES];
static uint8_t count; /* frames received in this cycle; a same-named static lives in scheduler.c */
static uint32_t lost_frames;
uint32_t g_can_error_counters[2][4]; /* per channel: tx, rx, bus-off, warnings */
/* Acceptance filters: per channel, per bank, id and mask. */
uint32_t g_can_filters[2][4][2];

void can_init(void) {
  static const uint32_t ids[CAN_TX_MESSAGES] = {0x100, 0x101, 0x180, 0x200, 0x7E8};
  static const uint16_t cycles[CAN_TX_MESSAGES] = {10, 20, 50, 100, 1000};
  for (unsigned i = 0; i < CAN_TX_MESSAGES; ++i) {
    tx_messages[i].id = ids[i];
    tx_messages[i].cycle_ms = cycles[i];
    tx_messages[i].countdown_ms = (uint16_t)(i * 3u);
    tx_messages[i].alive_counter = 0;
  }
  for (unsigned ch = 0; ch < 2; ++ch)
    for (unsigned bank = 0; bank < 4; ++bank) {
      g_can_filters[ch][bank][0] = 0x100u + bank * 0x80u;
      g_can_filters[ch][bank][1] = 0x7F0u;
    }
  rx_ring.head = rx_ring.tail = 0;
}

static uint8_t crc8(const uint8_t *data, unsigned len) {
  uint8_t crc = 0xFF;
  while (len--) {
    crc ^= *data++;
    for (int bit = 0; bit < 8; ++bit)
      crc = (uint8_t)((crc & 0x80u) ? ((unsigned)crc << 1) ^ 0x1Du : ((unsigned)crc << 1));
  }
  return (uint8_t)~crc;
}

void can_receive_isr(uint8_t mailbox) {
  can_mailbox_t *mb = &g_can_mailboxes[mailbox % CAN_MAILBOXES];
  mb->frame.id.bits.std_id = (uint32_t)(0x100u + mailbox) & 0x7FFu;
  mb->frame.dlc = 8;
  mb->frame.valid = 1;
  mb->frame.data.words[0] = g_system_ms;
  mb->state = (mb->state == MB_FULL) ? MB_OVERRUN : MB_FULL;
  uint8_t next = (uint8_t)((rx_ring.head + 1u) % CAN_RX_RING);
  if (next == rx_ring.tail) {
    rx_ring.overflows++;
    lost_frames++;
    return;
  }
  rx_ring.frames[rx_ring.head] = mb->frame;
  rx_ring.head = next;
  uint16_t fill = (uint16_t)((rx_ring.head + CAN_RX_RING - rx_ring.tail) % CAN_RX_RING);
  if (fill > rx_ring.high_water)
    rx_ring.high_water = fill;
  ++count;
  g_can_error_counters[mb->frame.channel & 1u][1]++;
}

void can_transmit_task(void) {
  static uint32_t sent; /* can_transmit_task@sent */
  while (rx_ring.tail != rx_ring.head) {
    can_frame_t *frame = &rx_ring.frames[rx_ring.tail];
    frame->valid = 0;
    rx_ring.tail = (uint8_t)((rx_ring.tail + 1u) % CAN_RX_RING);
  }
  for (unsigned i = 0; i < CAN_TX_MESSAGES; ++i) {
    can_tx_message_t *msg = &tx_messages[i];
    if (msg->countdown_ms > 10u) {
      msg->countdown_ms = (uint16_t)(msg->countdown_ms - 10u);
      continue;
    }
    msg->countdown_ms = msg->cycle_ms;
    msg->alive_counter = (uint8_t)((msg->alive_counter + 1u) & 0x0Fu);
    msg->payload.bytes[1] = msg->alive_counter;
    msg->payload.halfwords[1] = (uint16_t)sensors_coolant();
    msg->crc = crc8(&msg->payload.bytes[1], 7);
    msg->payload.bytes[0] = msg->crc;
    ++sent;
  }
  count = 0;
}

uint32_t can_lost_frames(void) { return lost_frames + g_can_error_counters[0][3]; }
