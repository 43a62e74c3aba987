// Which number ("Joystick1", "Joystick2", ...) a joystick gets. Bindings name
// devices by number, so a device that is unplugged and plugged back in must
// get its old number again, or "Joystick1" would stop reaching it.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace zv::platform {

// What tells devices apart: the system's joystick GUID and product name.
// Two identical devices share an identity; they are told apart by their
// order among devices of that identity.
struct JoystickIdentity {
    std::string guid;
    std::string name;
    bool operator==(const JoystickIdentity&) const = default;
};

// One number given out: whose it is and whether the device is plugged in.
// Numbers are never given back, so a device that leaves keeps its number
// free for its return.
struct JoystickSlot {
    JoystickIdentity identity;
    bool attached = false;
};

// The slot (index into slots) for a device arriving with this identity: the
// lowest-numbered free slot of the same identity, else slots.size() (a new
// number after the others).
std::size_t joystick_slot_for(std::span<const JoystickSlot> slots, const JoystickIdentity& identity);

}  // namespace zv::platform
