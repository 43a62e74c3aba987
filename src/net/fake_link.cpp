#include "net/fake_link.h"

#include <cstdlib>

namespace zv::net {

bool fake_link_active(const FakeLink& link) { return link.lag > 0 || link.loss_percent > 0; }

bool fake_link_arrive(FakeLink& link, std::span<const std::uint8_t> bytes, double now)
{
    const int drawn = link.draw ? link.draw() : std::rand() % 32768;
    if (drawn < link.loss_percent * k_loss_step)
        return false;
    if (link.queue.size() >= k_fake_queue_limit)
        return false;
    link.queue.push_back({now, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    return true;
}

std::optional<std::vector<std::uint8_t>> fake_link_due(FakeLink& link, double now)
{
    if (link.queue.empty() || link.queue.front().time + link.lag > now)
        return std::nullopt;
    std::vector<std::uint8_t> bytes = std::move(link.queue.front().bytes);
    link.queue.pop_front();
    return bytes;
}

}  // namespace zv::net
