#include "net/reliable.h"

#include <algorithm>
#include <utility>

namespace zv::net {

std::uint32_t queue_reliable(OutgoingQueue& q, std::uint8_t type, std::span<const std::uint8_t> payload)
{
    OutgoingQueue::Node n;
    n.message.sequence = q.next_sequence++;
    n.message.type = type;
    const std::size_t length = std::min(payload.size(), k_reliable_payload_limit);
    n.message.payload.assign(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
    q.nodes.push_back(std::move(n));
    return q.nodes.back().message.sequence;
}

const ReliableMessage* due_reliable(OutgoingQueue& q, double now)
{
    if (q.nodes.empty())
        return nullptr;
    OutgoingQueue::Node& head = q.nodes.front();
    if (!(now > head.send_time))
        return nullptr;
    head.send_time = now + k_resend_interval;
    return &head.message;
}

bool acknowledge_reliable(OutgoingQueue& q, std::uint32_t sequence)
{
    if (q.nodes.empty() || q.nodes.front().message.sequence != sequence)
        return false;
    q.nodes.pop_front();
    return true;
}

std::vector<ReliableMessage> accept_reliable(IncomingOrder& in, ReliableMessage message)
{
    std::vector<ReliableMessage> ready;
    if (message.sequence < in.expected)
        return ready;  // handled already
    if (message.sequence > in.expected) {
        if (in.waiting.size() < k_max_waiting_messages)
            in.waiting.try_emplace(message.sequence, std::move(message));
        return ready;
    }
    ready.push_back(std::move(message));
    ++in.expected;
    for (auto it = in.waiting.begin(); it != in.waiting.end() && it->first == in.expected;
         it = in.waiting.erase(it)) {
        ready.push_back(std::move(it->second));
        ++in.expected;
    }
    return ready;
}

}  // namespace zv::net
