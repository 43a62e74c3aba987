#include "platform/input.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/input_sdl.h"
#include "platform/joystick_slots.h"
#include "platform/key_names.h"
#include "platform/log.h"
#include "platform/names.h"
#include "platform/options.h"

namespace zv::platform {

namespace {

struct ExtraKey {
    SDL_Scancode scancode;
    std::string name;
};

struct Joystick {
    std::string name;           // "Joystick1"
    std::string product;        // what the player knows it as
    SDL_Joystick* handle = nullptr;
    SDL_JoystickID instance = -1;
    int axes = 0;
    int keys = 0;
};

struct Devices {
    std::mutex mutex;
    bool open = false;
    std::vector<ExtraKey> extra_keys;  // keyboard keys after the fixed table
    float mouse_motion[2] = {0, 0};
    float cursor[2] = {0, 0};
    std::vector<Joystick> joysticks;
    std::vector<JoystickSlot> slots;  // one per joystick, same order
    bool joystick_subsystem = false;
};

Devices& devices()
{
    static Devices d;
    return d;
}

constexpr std::pair<const char*, const char*> k_aliases[] = {
    {"mouse-x", "Mouse.axis[0]"},        {"mouse-y", "Mouse.axis[1]"},
    {"mouse-left", "Mouse.key[0]"},      {"mouse-right", "Mouse.key[1]"},
    {"mouse-middle", "Mouse.key[2]"},    {"joystick-a-x", "Joystick1.axis[0]"},
    {"joystick-a-y", "Joystick1.axis[1]"}, {"joystick-a-1", "Joystick1.key[0]"},
    {"joystick-a-2", "Joystick1.key[1]"}, {"joystick-b-x", "Joystick2.axis[0]"},
    {"joystick-b-y", "Joystick2.axis[1]"}, {"joystick-b-1", "Joystick2.key[0]"},
    {"joystick-b-2", "Joystick2.key[1]"}, {"cursor-x", "cursor.axis[0]"},
    {"cursor-y", "cursor.axis[1]"},
};

constexpr Uint32 k_joystick_subsystems = SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER;

// The mouse's own key numbers in the order of its device record.
constexpr int k_mouse_keys[3] = {k_key_mouse_left, k_key_mouse_right, k_key_mouse_middle};
// The hidden axes of the mouse device that carry the pointer position.
constexpr int k_cursor_axis_base = 2;

std::string joystick_axis_name(const std::string& device, int axis)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.63s axis %d", device.c_str(), axis);
    return buf;
}

std::string joystick_button_name(const std::string& device, int key)
{
    char buf[1100];
    std::snprintf(buf, sizeof buf, "%.1000s button %d", device.c_str(), key);
    return buf;
}

JoystickIdentity identity_of(int index)
{
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    const char* name = SDL_JoystickNameForIndex(index);
    return {guid, name ? name : ""};
}

// The game-controller database knows many pads by the names on their boxes;
// other devices go by the name their driver gives.
std::string product_name(int index)
{
    const char* name = SDL_IsGameController(index) ? SDL_GameControllerNameForIndex(index) : nullptr;
    if (!name)
        name = SDL_JoystickNameForIndex(index);
    return name ? name : "(no name)";
}

// Opens SDL joystick `index` under the number it had before (same device
// back again) or the next JoystickN; logs what it has.
void open_joystick_locked(Devices& d, int index)
{
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
    for (std::size_t i = 0; i < d.joysticks.size(); ++i)
        if (d.slots[i].attached && d.joysticks[i].instance == id)
            return;
    SDL_Joystick* handle = SDL_JoystickOpen(index);
    if (!handle) {
        log_printf("Can't open joystick %d: %s\n", index, SDL_GetError());
        return;
    }
    JoystickIdentity identity = identity_of(index);
    std::size_t slot = joystick_slot_for(d.slots, identity);
    if (slot == d.joysticks.size()) {
        d.joysticks.emplace_back().name = "Joystick" + std::to_string(slot + 1);
        d.slots.push_back({std::move(identity), false});
    }
    Joystick& j = d.joysticks[slot];
    d.slots[slot].attached = true;
    j.handle = handle;
    j.instance = SDL_JoystickInstanceID(handle);
    j.product = product_name(index);
    int axes = SDL_JoystickNumAxes(handle);
    int keys = SDL_JoystickNumButtons(handle);
    log_printf("%s: %s\n", j.name.c_str(), j.product.c_str());
    j.axes = axes < 0 ? 0 : (axes > k_max_device_axes ? k_max_device_axes : axes);
    j.keys = keys < 0 ? 0 : (keys > k_max_device_keys ? k_max_device_keys : keys);
    log_printf("%d axes, %d keys\n", j.axes, j.keys);
    for (int a = 0; a < j.axes; ++a)
        log_printf("axis %d is %s\n", a, "absolute");
    if (axes > k_max_device_axes)
        log_printf("Wow! This thing has a lot of axes!\nThe first ignored axis is called \"%s\"\n",
                   joystick_axis_name(j.name, k_max_device_axes).c_str());
    if (keys > k_max_device_keys)
        log_printf("Wow! This thing has a lot of buttons!\nThe first ignored button is called \"%s\"\n",
                   joystick_button_name(j.name, k_max_device_keys).c_str());
}

Joystick* joystick_by_instance(Devices& d, SDL_JoystickID id)
{
    for (std::size_t i = 0; i < d.joysticks.size(); ++i)
        if (d.slots[i].attached && d.joysticks[i].instance == id)
            return &d.joysticks[i];
    return nullptr;
}

int joystick_device_number(const Devices& d, const Joystick* j)
{
    return k_first_joystick_device + static_cast<int>(j - d.joysticks.data());
}

// "Device.key[n]" / "Device.axis[n]": the device part and the number.
bool split_control_name(std::string_view name, std::string_view& device, bool& axis, int& n)
{
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.empty() || name.back() != ']')
        return false;
    device = name.substr(0, dot);
    std::string_view rest = name.substr(dot + 1, name.size() - dot - 2);
    if (names_equal(rest.substr(0, 4), "key["))
        axis = false, rest.remove_prefix(4);
    else if (names_equal(rest.substr(0, 5), "axis["))
        axis = true, rest.remove_prefix(5);
    else
        return false;
    if (rest.empty() || rest.size() > 4)
        return false;
    n = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

int device_number_locked(const Devices& d, std::string_view name)
{
    if (names_equal(name, "Keyboard"))
        return k_keyboard_device;
    if (names_equal(name, "Mouse"))
        return k_mouse_device;
    for (std::size_t i = 0; i < d.joysticks.size(); ++i)
        if (names_equal(name, d.joysticks[i].name))
            return k_first_joystick_device + static_cast<int>(i);
    return -1;
}

int keyboard_key_locked(Devices& d, SDL_Scancode scancode)
{
    int fixed = fixed_key_for_scancode(scancode);
    if (fixed >= 0)
        return fixed;
    const int base = static_cast<int>(fixed_key_names().size());
    for (std::size_t i = 0; i < d.extra_keys.size(); ++i)
        if (d.extra_keys[i].scancode == scancode)
            return base + static_cast<int>(i);
    const char* name = SDL_GetScancodeName(scancode);
    if (!name || !*name)
        return -1;
    if (base + d.extra_keys.size() >= 0x7fff)
        return -1;
    d.extra_keys.push_back({scancode, name});
    return base + static_cast<int>(d.extra_keys.size()) - 1;
}

std::optional<ControlCode> find_control_locked(Devices& d, std::string_view name)
{
    if (int fixed = find_fixed_key(name); fixed >= 0)
        return key_code(k_keyboard_device, fixed);

    std::string_view device;
    bool axis = false;
    int n = 0;
    if (split_control_name(name, device, axis, n)) {
        if (names_equal(device, "cursor"))
            return axis && n < 2 ? std::optional(axis_code(k_mouse_device, k_cursor_axis_base + n)) : std::nullopt;
        int dev = device_number_locked(d, device);
        if (dev == k_keyboard_device) {
            int keys = static_cast<int>(fixed_key_names().size() + d.extra_keys.size());
            return !axis && n < keys ? std::optional(key_code(dev, n)) : std::nullopt;
        }
        if (dev == k_mouse_device) {
            if (axis)
                return n < 2 ? std::optional(axis_code(dev, n)) : std::nullopt;
            return n < 3 ? std::optional(key_code(k_keyboard_device, k_mouse_keys[n])) : std::nullopt;
        }
        if (dev >= k_first_joystick_device) {
            const Joystick& j = d.joysticks[static_cast<std::size_t>(dev - k_first_joystick_device)];
            if (axis)
                return n < j.axes ? std::optional(axis_code(dev, n)) : std::nullopt;
            return n < j.keys ? std::optional(key_code(dev, n)) : std::nullopt;
        }
        return std::nullopt;
    }

    // Joystick controls by their menu names.
    for (std::size_t i = 0; i < d.joysticks.size(); ++i) {
        const Joystick& j = d.joysticks[i];
        int dev = k_first_joystick_device + static_cast<int>(i);
        for (int a = 0; a < j.axes; ++a)
            if (names_equal(name, joystick_axis_name(j.name, a)))
                return axis_code(dev, a);
        for (int k = 0; k < j.keys; ++k)
            if (names_equal(name, joystick_button_name(j.name, k)))
                return key_code(dev, k);
    }

    // Any other key by its system name.
    for (std::size_t i = 0; i < d.extra_keys.size(); ++i)
        if (names_equal(name, d.extra_keys[i].name))
            return key_code(k_keyboard_device, static_cast<int>(fixed_key_names().size() + i));
    std::string text(name);
    SDL_Scancode sc = SDL_GetScancodeFromName(text.c_str());
    if (sc != SDL_SCANCODE_UNKNOWN) {
        int key = keyboard_key_locked(d, sc);
        if (key >= 0)
            return key_code(k_keyboard_device, key);
    }
    return std::nullopt;
}

}  // namespace

void open_input_devices()
{
    Devices& d = devices();
    {
        std::lock_guard lock(d.mutex);
        d.open = true;
        d.mouse_motion[0] = d.mouse_motion[1] = 0;
        log_printf("DirectInput roll call...\n");
        // The game-controller part brings the database of pad names along.
        // SDL counts initialisations, so this pairs with the quit on close.
        if (SDL_InitSubSystem(k_joystick_subsystems) != 0) {
            log_printf("Can't open direct input library\n");
            log_printf("DirectInput disabled\n");
        } else {
            d.joystick_subsystem = true;
            int count = SDL_NumJoysticks();
            for (int i = 0; i < count; ++i)
                open_joystick_locked(d, i);
        }
        log_printf("End of DirectInput roll call\n");
    }
    for (const auto& [name, value] : k_aliases)
        add_alias(name, value);
}

void close_input_devices()
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    if (!d.open)
        return;
    log_printf("Closing input devices\n");
    // The joysticks keep their numbers for the next opening, so a device
    // missing then does not hand its number to another one.
    for (std::size_t i = 0; i < d.joysticks.size(); ++i) {
        if (d.joysticks[i].handle)
            SDL_JoystickClose(d.joysticks[i].handle);
        d.joysticks[i].handle = nullptr;
        d.slots[i].attached = false;
    }
    d.extra_keys.clear();
    if (d.joystick_subsystem)
        SDL_QuitSubSystem(k_joystick_subsystems);
    d.joystick_subsystem = false;
    d.open = false;
}

int device_count()
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    return k_first_joystick_device + static_cast<int>(d.joysticks.size());
}

std::string device_name(int device)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    if (device == k_keyboard_device)
        return "Keyboard";
    if (device == k_mouse_device)
        return "Mouse";
    std::size_t j = static_cast<std::size_t>(device - k_first_joystick_device);
    if (device < k_first_joystick_device || j >= d.joysticks.size())
        return {};
    return d.joysticks[j].name;
}

bool device_attached(int device)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    if (device == k_keyboard_device || device == k_mouse_device)
        return true;
    std::size_t j = static_cast<std::size_t>(device - k_first_joystick_device);
    return device >= k_first_joystick_device && j < d.joysticks.size() && d.slots[j].attached;
}

std::string device_product_name(int device)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    std::size_t j = static_cast<std::size_t>(device - k_first_joystick_device);
    if (device < k_first_joystick_device || j >= d.joysticks.size())
        return {};
    return d.joysticks[j].product;
}

std::optional<ControlCode> find_control(std::string_view name)
{
    std::string text(name);
    const char* resolved = lookup_alias(text.c_str());
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    return find_control_locked(d, resolved);
}

std::string latin1_from_utf8(std::string_view text)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        int length = b < 0x80 ? 1 : (b & 0xe0) == 0xc0 ? 2 : (b & 0xf0) == 0xe0 ? 3 : (b & 0xf8) == 0xf0 ? 4 : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
            ++i;  // a stray continuation byte or a cut sequence
            continue;
        }
        std::uint32_t cp = length == 1 ? b : b & (0x7fu >> length);
        bool ok = true;
        for (int k = 1; k < length; ++k) {
            auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xc0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3fu);
        }
        if (!ok) {
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(length);
        if (cp >= 32 && cp <= 255 && cp != 127 && !(cp >= 0x80 && cp < 0xa0))
            out.push_back(static_cast<char>(cp));
    }
    return out;
}

std::string control_name(ControlCode code)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    int dev = device_of(code);
    int n = control_index(code);
    if (is_text(code))
        return std::string("Text '") + static_cast<char>(text_character(code)) + "'";
    if (dev == k_keyboard_device && !is_axis(code)) {
        auto names = fixed_key_names();
        if (n < static_cast<int>(names.size()))
            return names[static_cast<std::size_t>(n)];
        std::size_t extra = static_cast<std::size_t>(n) - names.size();
        return extra < d.extra_keys.size() ? d.extra_keys[extra].name : std::string();
    }
    if (dev == k_mouse_device && is_axis(code)) {
        if (n >= k_cursor_axis_base)
            return "cursor.axis[" + std::to_string(n - k_cursor_axis_base) + "]";
        return "Mouse.axis[" + std::to_string(n) + "]";
    }
    std::size_t j = static_cast<std::size_t>(dev - k_first_joystick_device);
    if (dev < k_first_joystick_device || j >= d.joysticks.size())
        return {};
    return is_axis(code) ? joystick_axis_name(d.joysticks[j].name, n)
                         : joystick_button_name(d.joysticks[j].name, n);
}

float axis_value(ControlCode code)
{
    if (!is_axis(code))
        return 0;
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    int dev = device_of(code);
    int n = control_index(code);
    if (dev == k_mouse_device) {
        if (n < 2)
            return d.mouse_motion[n];
        if (n - k_cursor_axis_base < 2)
            return d.cursor[n - k_cursor_axis_base];
        return 0;
    }
    std::size_t j = static_cast<std::size_t>(dev - k_first_joystick_device);
    if (dev < k_first_joystick_device || j >= d.joysticks.size())
        return 0;
    const Joystick& js = d.joysticks[j];
    if (!d.slots[j].attached || n >= js.axes)
        return 0;
    return static_cast<float>(SDL_JoystickGetAxis(js.handle, n));
}

int keyboard_key_for_scancode(SDL_Scancode scancode)
{
    Devices& d = devices();
    std::lock_guard lock(d.mutex);
    return keyboard_key_locked(d, scancode);
}

bool handle_input_event(const SDL_Event& e, EventTime time)
{
    Devices& d = devices();
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (e.key.repeat)
            return true;
        int key = keyboard_key_for_scancode(e.key.keysym.scancode);
        if (key >= 0)
            push_event_at(key_code(k_keyboard_device, key), e.type == SDL_KEYDOWN, time);
        return true;
    }
    case SDL_TEXTINPUT:
        for (char c : latin1_from_utf8(e.text.text))
            push_event_at(text_code(static_cast<unsigned char>(c)), true, time);
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int key = e.button.button == SDL_BUTTON_LEFT     ? k_key_mouse_left
                  : e.button.button == SDL_BUTTON_MIDDLE ? k_key_mouse_middle
                  : e.button.button == SDL_BUTTON_RIGHT  ? k_key_mouse_right
                                                         : -1;
        if (key >= 0)
            push_event_at(key_code(k_keyboard_device, key), e.type == SDL_MOUSEBUTTONDOWN, time);
        return true;
    }
    case SDL_MOUSEMOTION: {
        std::lock_guard lock(d.mutex);
        d.mouse_motion[0] += static_cast<float>(e.motion.xrel);
        d.mouse_motion[1] += static_cast<float>(e.motion.yrel);
        d.cursor[0] = static_cast<float>(e.motion.x);
        d.cursor[1] = static_cast<float>(e.motion.y);
        return true;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        std::unique_lock lock(d.mutex);
        Joystick* j = joystick_by_instance(d, e.jbutton.which);
        if (!j || e.jbutton.button >= j->keys)
            return true;
        ControlCode code = key_code(joystick_device_number(d, j), e.jbutton.button);
        lock.unlock();
        push_event_at(code, e.type == SDL_JOYBUTTONDOWN, time);
        return true;
    }
    case SDL_JOYAXISMOTION:
        return true;  // read when a binding asks
    case SDL_JOYDEVICEADDED: {
        std::lock_guard lock(d.mutex);
        if (d.open && d.joystick_subsystem)
            open_joystick_locked(d, e.jdevice.which);
        return true;
    }
    case SDL_JOYDEVICEREMOVED: {
        std::lock_guard lock(d.mutex);
        if (Joystick* j = joystick_by_instance(d, e.jdevice.which)) {
            log_printf("%s removed\n", j->name.c_str());
            // Whatever it held is let go, so no binding stays pressed.
            int dev = joystick_device_number(d, j);
            for (int k = 0; k < j->keys; ++k)
                push_event_at(key_code(dev, k), false, time);
            SDL_JoystickClose(j->handle);
            j->handle = nullptr;
            // The number stays this device's, for when it comes back.
            d.slots[static_cast<std::size_t>(dev - k_first_joystick_device)].attached = false;
        }
        return true;
    }
    default:
        return false;
    }
}

}  // namespace zv::platform
