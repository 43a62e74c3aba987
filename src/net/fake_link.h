// A poor network on demand: received datagrams may be dropped at random
// (a loss percentage) and held back for a fixed lag before they are handled.
// With neither set, datagrams pass straight through.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace zv::net {

inline constexpr std::size_t k_fake_queue_limit = 1024;
// rand() ranges over 0 ... 32767; a datagram is dropped when it draws
// below loss percent times this.
inline constexpr int k_loss_step = 327;

struct FakeLink {
    double lag = 0;          // seconds, 0 ... 1
    int loss_percent = 0;    // 0 ... 100
    // Draws a number 0 ... 32767 (std::rand by default).
    std::function<int()> draw;
    struct Arrival {
        double time = 0;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Arrival> queue;
};

// Whether datagrams go through the queue at all.
bool fake_link_active(const FakeLink& link);
// A datagram arrived at `now`: dropped by the loss rule or a full queue,
// else queued. Returns whether it was kept.
bool fake_link_arrive(FakeLink& link, std::span<const std::uint8_t> bytes, double now);
// The oldest queued datagram once its lag has passed at `now`.
std::optional<std::vector<std::uint8_t>> fake_link_due(FakeLink& link, double now);

}  // namespace zv::net
