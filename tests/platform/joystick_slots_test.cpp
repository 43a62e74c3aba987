// Joystick numbering: a device that comes back gets its old number, so the
// bindings that name it keep reaching it.
#include "platform/joystick_slots.h"

#include <gtest/gtest.h>

#include <vector>

namespace zv::platform {
namespace {

// Plays plug and unplug steps against a list of numbers given out and
// checks the slot each plugged device gets.
class Slots {
public:
    std::size_t plug(const JoystickIdentity& id)
    {
        std::size_t slot = joystick_slot_for(slots_, id);
        if (slot == slots_.size())
            slots_.push_back({id, false});
        EXPECT_FALSE(slots_[slot].attached) << "slot " << slot << " is in use";
        slots_[slot].attached = true;
        return slot;
    }
    void unplug(std::size_t slot) { slots_.at(slot).attached = false; }
    std::size_t size() const { return slots_.size(); }

private:
    std::vector<JoystickSlot> slots_;
};

const JoystickIdentity pad{"030000005e0400008e02000014010000", "Xbox 360 Controller"};
const JoystickIdentity wheel{"030000006d040000c2ca000011010000", "Logitech G29"};
// Same GUID, other name (a different firmware mode): another device.
const JoystickIdentity pad_renamed{pad.guid, "Xbox 360 Wireless Receiver"};
// Same name, other GUID: another device too.
const JoystickIdentity pad_other_guid{"030000005e040000ff02000000000000", pad.name};

TEST(JoystickSlots, ReturningDevicesGetTheirOldNumbers)
{
    Slots s;
    EXPECT_EQ(s.plug(pad), 0u);
    EXPECT_EQ(s.plug(wheel), 1u);
    s.unplug(0);
    // Someone else arriving meanwhile does not take the pad's number.
    EXPECT_EQ(s.plug(pad_renamed), 2u);
    EXPECT_EQ(s.plug(pad_other_guid), 3u);
    EXPECT_EQ(s.plug(pad), 0u);
    s.unplug(1);
    s.unplug(0);
    EXPECT_EQ(s.plug(wheel), 1u);
    EXPECT_EQ(s.plug(pad), 0u);
    EXPECT_EQ(s.size(), 4u);
}

TEST(JoystickSlots, IdenticalDevicesAreToldApartByTheirOrder)
{
    Slots s;
    EXPECT_EQ(s.plug(pad), 0u);
    EXPECT_EQ(s.plug(pad), 1u);
    EXPECT_EQ(s.plug(pad), 2u);
    // The second of three leaves and comes back: number 2 again.
    s.unplug(1);
    EXPECT_EQ(s.plug(pad), 1u);
    // Two leave; the first to return takes the lower number, the next the
    // other, and a fourth one a new number.
    s.unplug(2);
    s.unplug(0);
    for (unsigned slot : {0u, 2u, 3u})
        EXPECT_EQ(s.plug(pad), slot);
    EXPECT_EQ(s.size(), 4u);
}

}  // namespace
}  // namespace zv::platform
