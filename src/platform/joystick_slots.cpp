#include "platform/joystick_slots.h"

namespace zv::platform {

std::size_t joystick_slot_for(std::span<const JoystickSlot> slots, const JoystickIdentity& identity)
{
    // The first free slot of this identity is the one the k-th of k identical
    // devices had, whichever of them comes back first (they cannot be told
    // apart anyway).
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!slots[i].attached && slots[i].identity == identity)
            return i;
    return slots.size();
}

}  // namespace zv::platform
