// The reliable-message layer, both ways. Outgoing: a queue whose head alone
// is in flight, sent again every half second until the server acknowledges
// its sequence number. Incoming: every message is acknowledged on arrival,
// duplicates are dropped, and messages that arrive early wait in a list until
// the ones before them have been handled.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <vector>

namespace zv::net {

inline constexpr double k_resend_interval = 0.5;        // seconds
inline constexpr std::size_t k_reliable_payload_limit = 466;
// Early messages kept waiting at most; a server that races this far ahead of
// what it resends is broken or hostile, and the rest would only eat memory.
inline constexpr std::size_t k_max_waiting_messages = 1024;

struct ReliableMessage {
    std::uint32_t sequence = 0;
    std::uint8_t type = 0;
    std::vector<std::uint8_t> payload;
};

struct OutgoingQueue {
    struct Node {
        ReliableMessage message;
        double send_time = 0;  // the head goes out once the clock is past this
    };
    std::deque<Node> nodes;
    std::uint32_t next_sequence = 0;
};

// Appends a message (the payload cut to 466 bytes) with the next sequence
// number; returns that number.
std::uint32_t queue_reliable(OutgoingQueue& q, std::uint8_t type, std::span<const std::uint8_t> payload);
// The head when it is due at `now` (its next send is then half a second
// later); nullptr when the queue is empty or the head is not yet due.
const ReliableMessage* due_reliable(OutgoingQueue& q, double now);
// An acknowledgment: removes the head when the number is the head's.
// Returns whether it did.
bool acknowledge_reliable(OutgoingQueue& q, std::uint32_t sequence);

struct IncomingOrder {
    std::uint32_t expected = 0;
    std::map<std::uint32_t, ReliableMessage> waiting;
};

// Takes an arrived message; returns the messages to handle now, in order
// (none for a duplicate or an early message, several when an arrival fills
// a gap).
std::vector<ReliableMessage> accept_reliable(IncomingOrder& in, ReliableMessage message);

}  // namespace zv::net
