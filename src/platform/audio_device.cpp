// The sound device: an SDL audio device whose callback plays whole fragments
// from a ring of 64 that the audio thread mixes ahead of it.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/audio_mixer.h"
#include "platform/log.h"
#include "platform/options.h"

namespace zv::platform {

namespace {

constexpr int k_ring_fragments = 64;
constexpr int k_default_rate = 22050;
constexpr int k_default_budget = 16;
constexpr int k_default_mixahead_ms = 125;
constexpr auto k_wait_step = std::chrono::milliseconds(15);
constexpr int k_timeout_steps = 1000 / 15;

struct Device {
    SDL_AudioDeviceID id = 0;
    int fragment_bytes = 0;
    int mixahead = 8;
    std::vector<std::vector<std::uint8_t>> ring;
    std::atomic<std::int64_t> written{0};  // fragments handed to the device
    std::atomic<std::int64_t> played{0};   // fragments the device finished
    int offset = 0;                        // bytes of the current fragment played (callback only)
    std::atomic<bool> stop{false};
    std::thread thread;
    bool sdl_started = false;
};

Device g_device;

void callback(void*, Uint8* stream, int len)
{
    Device& d = g_device;
    while (len > 0) {
        const std::int64_t played = d.played.load(std::memory_order_relaxed);
        if (played >= d.written.load(std::memory_order_acquire)) {
            std::memset(stream, 128, static_cast<std::size_t>(len));  // mixing fell behind: silence
            return;
        }
        const auto& fragment = d.ring[static_cast<std::size_t>(played % k_ring_fragments)];
        const int n = std::min(len, d.fragment_bytes - d.offset);
        std::memcpy(stream, fragment.data() + d.offset, static_cast<std::size_t>(n));
        stream += n;
        len -= n;
        d.offset += n;
        if (d.offset == d.fragment_bytes) {
            d.offset = 0;
            d.played.store(played + 1, std::memory_order_release);
        }
    }
}

// Drops every fragment not yet played (the device's reset).
void reset_device(Device& d)
{
    SDL_LockAudioDevice(d.id);
    d.played.store(d.written.load());
    d.offset = 0;
    SDL_UnlockAudioDevice(d.id);
}

void audio_thread()
{
    Device& d = g_device;
    Mixer& m = mixer();
    log_printf("Audio thread begin\n");
    while (!d.stop.load()) {
        const std::int64_t written = d.written.load();
        if (written >= d.mixahead) {
            // Wait until the fragment written mix-ahead fragments ago has played.
            int steps = 0;
            bool stopped = false;
            while (d.played.load(std::memory_order_acquire) <= written - d.mixahead) {
                if (d.stop.load()) {
                    stopped = true;
                    break;
                }
                std::this_thread::sleep_for(k_wait_step);
                if (++steps == k_timeout_steps) {
                    reset_device(d);
                    log_printf("Audio thread: Timeout on fragment %d\n", static_cast<int>(written));
                }
            }
            if (stopped)
                break;
        }
        auto& fragment = d.ring[static_cast<std::size_t>(written % k_ring_fragments)];
        {
            std::lock_guard<std::mutex> lock(m.mutex);
            mix_sums(m, m.fragment_length);
            const auto& left = m.sums[0];
            const auto& right = m.sums[1];
            for (int i = 0; i < m.fragment_length; ++i) {
                const auto k = static_cast<std::size_t>(i);
                if (m.channels == 2) {
                    fragment[2 * k] = output_u8(left[k]);
                    fragment[2 * k + 1] = output_u8(right[k]);
                } else {
                    fragment[k] = output_u8(left[k]);
                }
            }
        }
        d.written.store(written + 1, std::memory_order_release);
    }
    log_printf("Audio thread end\n");
    d.stop.store(false);
}

void release(Device& d)
{
    if (d.id) {
        SDL_CloseAudioDevice(d.id);
        d.id = 0;
    }
    if (d.sdl_started) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        d.sdl_started = false;
    }
    d.ring.clear();
}

}  // namespace

bool open_audio()
{
    Mixer& m = mixer();
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        if (m.output != Output::none) {
            log_printf("Audio already open\n");
            return false;
        }
    }
    if (!option_flag("waveout", 1))
        return false;
    log_printf("Opening waveOut audio...\n");
    return open_device(m);
}

bool open_device(Mixer& m)
{
    Device& d = g_device;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0 || SDL_GetNumAudioDevices(0) == 0) {
        if (SDL_WasInit(SDL_INIT_AUDIO))
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        log_printf("No audio device\n");
        return false;
    }
    d.sdl_started = true;
    const char* name = SDL_GetAudioDeviceName(0, 0);
    log_printf("Found a %s\n", name ? name : SDL_GetCurrentAudioDriver());

    const int requested_rate = std::clamp(option_int("sound-rate", k_default_rate), 4000, 192000);
    const int budget = std::clamp(option_int("sound-channels", k_default_budget), 0, 1024);
    const int mixahead_ms = option_int("sound-mixahead", k_default_mixahead_ms);

    SDL_AudioSpec want{};
    want.freq = requested_rate;
    want.format = AUDIO_U8;
    want.channels = 2;
    want.samples = 256;
    while (want.samples * 2 <= requested_rate / 64)
        want.samples = static_cast<Uint16>(want.samples * 2);
    want.callback = callback;
    SDL_AudioSpec have{};
    d.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (d.id == 0) {
        log_printf("Can't open waveOut\n");
        release(d);
        return false;
    }
    const int rate = have.freq > 0 ? have.freq : requested_rate;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.rate = rate;
        m.channels = have.channels == 1 ? 1 : 2;
        m.budget = budget;
        m.fragment_length = std::max(1, rate / 64);
        for (auto& s : m.sums)
            s.assign(static_cast<std::size_t>(m.fragment_length), 0);
        d.fragment_bytes = m.fragment_length * m.channels;
        m.output = Output::device;
    }
    d.mixahead = mixahead_fragments(mixahead_ms);
    d.ring.assign(k_ring_fragments, std::vector<std::uint8_t>(static_cast<std::size_t>(d.fragment_bytes), 128));
    d.written.store(0);
    d.played.store(0);
    d.offset = 0;
    d.stop.store(false);
    log_printf("Waveout rate: %d\n", rate);
    log_printf("Waveout channels: %d\n", budget);
    log_printf("Waveout mixahead: %d\n", mixahead_ms);
    try {
        d.thread = std::thread(audio_thread);
    } catch (const std::system_error&) {
        log_printf("Can't create thread\n");
        std::lock_guard<std::mutex> lock(m.mutex);
        m.output = Output::none;
        release(d);
        return false;
    }
    SDL_PauseAudioDevice(d.id, 0);
    log_printf("Audio opened!\n");
    return true;
}

void close_device()
{
    Device& d = g_device;
    d.stop.store(true);
    if (d.thread.joinable())
        d.thread.join();
    if (d.id)
        SDL_PauseAudioDevice(d.id, 1);
    release(d);
}

}  // namespace zv::platform
