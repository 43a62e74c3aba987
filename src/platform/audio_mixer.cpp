#include "platform/audio_mixer.h"

#include <algorithm>
#include <cstring>

#include "platform/log.h"

namespace zv::platform {

namespace {

using Lock = std::lock_guard<std::mutex>;

void build_tables(Mixer& m)
{
    if (m.tables_built)
        return;
    for (int level = 0; level < k_level_count; ++level)
        for (int u = 0; u < 256; ++u)
            m.tables[static_cast<std::size_t>(level)][static_cast<std::size_t>(u)] =
                volume_table_value(level, u);
    m.tables_built = true;
}

int data_length(const Sound& s) { return s.data ? static_cast<int>(s.data->size()) : 0; }

void unlist(Mixer& m, Voice& v)
{
    if (!v.listed)
        return;
    auto& list = m.lists[static_cast<std::size_t>(v.channel)][static_cast<std::size_t>(v.level)];
    list.erase(std::remove(list.begin(), list.end(), &v), list.end());
    v.listed = false;
}

void list(Mixer& m, Voice& v)
{
    m.lists[static_cast<std::size_t>(v.channel)][static_cast<std::size_t>(v.level)].push_back(&v);
    v.listed = true;
}

int voice_count(const Sound& s) { return s.stereo ? 2 : 1; }

// New levels from volume and pan; a listed voice moves to its new list.
void update_levels(Mixer& m, Sound& s)
{
    for (int c = 0; c < voice_count(s); ++c) {
        Voice& v = s.voices[static_cast<std::size_t>(c)];
        const int level = c == 0 ? left_level(s.volume, s.pan) : right_level(s.volume, s.pan);
        if (level == v.level)
            continue;
        if (v.listed) {
            unlist(m, v);
            v.level = level;
            list(m, v);
        } else {
            v.level = level;
        }
    }
}

// Position step per output sample: whole bytes and a 31-bit fraction.
struct Step {
    std::uint32_t whole;
    std::uint32_t fraction;
};

Step step_of(const Sound& s)
{
    const std::uint64_t rate = static_cast<std::uint64_t>(std::max(0, s.rate));
    const std::uint64_t out = static_cast<std::uint64_t>(std::max(1, s.output_rate));
    return {static_cast<std::uint32_t>(rate / out),
            static_cast<std::uint32_t>(((rate % out) << k_fraction_bits) / out)};
}

// After the position passed the end: loop or finish. True while it goes on.
bool wrap_or_finish(Voice& v, const Sound& s, std::uint64_t position)
{
    const std::uint64_t length = static_cast<std::uint64_t>(data_length(s));
    if (position < length) {
        v.position = static_cast<std::uint32_t>(position);
        return true;
    }
    if (s.looping && length > 0) {
        v.position = static_cast<std::uint32_t>(position % length);
        return true;
    }
    v.position = static_cast<std::uint32_t>(length);
    v.fraction = 0;
    v.finished = true;
    return false;
}

void take_restart(Voice& v)
{
    if (v.restart) {
        v.position = 0;
        v.fraction = 0;
        v.restart = false;
    }
}

void mix_audible(Mixer& m, Voice& v, int count)
{
    take_restart(v);
    if (v.finished)
        return;
    const Sound& s = *v.sound;
    const auto& table = m.tables[static_cast<std::size_t>(v.level)];
    const std::uint8_t* data = s.data->data();
    std::int32_t* sum = m.sums[static_cast<std::size_t>(v.channel)].data();
    const Step step = step_of(s);
    const std::uint32_t length = static_cast<std::uint32_t>(data_length(s));
    if (v.position >= length && !wrap_or_finish(v, s, v.position))
        return;
    for (int i = 0; i < count; ++i) {
        sum[i] += table[data[v.position]];
        const std::uint32_t fraction = v.fraction + step.fraction;
        v.fraction = fraction & k_fraction_mask;
        const std::uint64_t next = static_cast<std::uint64_t>(v.position) + step.whole + (fraction >> k_fraction_bits);
        if (next >= length && !wrap_or_finish(v, s, next))
            return;
        v.position = static_cast<std::uint32_t>(next % std::max<std::uint64_t>(length, 1));
    }
}

void advance_silently(Voice& v, int count)
{
    take_restart(v);
    if (v.finished)
        return;
    const Sound& s = *v.sound;
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(std::max(0, s.rate)) /
                                static_cast<std::uint64_t>(std::max(1, s.output_rate));
    wrap_or_finish(v, s, v.position + bytes);
}

}  // namespace

Mixer& mixer()
{
    static Mixer m;
    return m;
}

std::int8_t volume_table_value(int level, int u)
{
    if (u == 0)
        u = 1;
    if (u >= 128)
        return static_cast<std::int8_t>((u - 128) * level / 32);
    return static_cast<std::int8_t>(-((128 - u) * level / 32));
}

int left_level(int volume, int pan)
{
    return static_cast<int>((static_cast<std::int64_t>(32767 - pan) * volume) >> 26);
}

int right_level(int volume, int pan)
{
    return static_cast<int>((static_cast<std::int64_t>(volume) * (pan + 32768)) >> 26);
}

std::uint8_t output_u8(std::int32_t sum)
{
    if (sum < -127)
        return 0;
    if (sum > 126)
        return 255;
    return static_cast<std::uint8_t>(sum + 128);
}

std::int16_t output_s16(std::int32_t sum)
{
    if (sum < -126)
        return static_cast<std::int16_t>(-0x7F00);  // 0x8100
    if (sum > 126)
        return 0x7F00;
    return static_cast<std::int16_t>(sum * 256);
}

void mix_sums(Mixer& m, int count)
{
    for (int c = 0; c < m.channels; ++c) {
        auto& sums = m.sums[static_cast<std::size_t>(c)];
        if (static_cast<int>(sums.size()) < count)
            sums.resize(static_cast<std::size_t>(count));
        std::fill(sums.begin(), sums.begin() + count, 0);
    }
    int budget = m.budget;
    for (int level = k_level_count - 1; level >= 0; --level) {
        auto& left = m.lists[0][static_cast<std::size_t>(level)];
        auto& right = m.lists[1][static_cast<std::size_t>(level)];
        const std::size_t n = std::max(left.size(), right.size());
        for (std::size_t i = 0; i < n; ++i) {
            for (auto* l : {&left, &right}) {
                if (i >= l->size())
                    continue;
                Voice& v = *(*l)[i];
                if (v.finished)
                    continue;  // stopped: leaves the lists below, uses no budget
                if (budget > 0 && level > 0) {
                    mix_audible(m, v, count);
                    --budget;
                } else {
                    advance_silently(v, count);
                }
            }
        }
    }
    for (auto& channel : m.lists)
        for (auto& l : channel)
            std::erase_if(l, [](Voice* v) {
                if (!v->finished)
                    return false;
                v->listed = false;
                return true;
            });
}

void unlist_all(Mixer& m)
{
    for (auto& channel : m.lists)
        for (auto& l : channel) {
            for (Voice* v : l)
                v->listed = false;
            l.clear();
        }
}

bool open_readback(int rate, int fragment_length, int channels)
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    if (m.output != Output::none) {
        log_printf("Audio already open\n");
        return false;
    }
    log_printf("Opening readback audio...\n");
    if (rate <= 0 || fragment_length <= 0) {
        log_printf("Malloc failed\n");
        return false;
    }
    m.rate = rate;
    m.channels = channels == 2 ? 2 : 1;
    m.fragment_length = fragment_length;
    m.budget = 16;
    for (auto& s : m.sums)
        s.assign(static_cast<std::size_t>(fragment_length), 0);
    m.readback.assign(static_cast<std::size_t>(fragment_length * m.channels), 0);
    m.output = Output::readback;
    log_printf("Audio opened!\n");
    return true;
}

std::span<const std::int16_t> mix_readback()
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    if (m.output != Output::readback)
        return {};
    mix_sums(m, m.fragment_length);
    for (int i = 0; i < m.fragment_length; ++i)
        for (int c = 0; c < m.channels; ++c)
            m.readback[static_cast<std::size_t>(i * m.channels + c)] =
                output_s16(m.sums[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)]);
    return m.readback;
}

void close_audio()
{
    Mixer& m = mixer();
    Output output;
    {
        Lock lock(m.mutex);
        output = m.output;
    }
    if (output == Output::none) {
        log_printf("Can't close audio, not open\n");
        return;
    }
    log_printf("Closing audio\n");
    if (output == Output::device)
        close_device();
    Lock lock(m.mutex);
    unlist_all(m);
    m.output = Output::none;
    m.rate = 0;
    m.readback.clear();
}

bool audio_is_open()
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    return m.output != Output::none;
}

int audio_output_rate()
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    return m.output == Output::none ? 0 : m.rate;
}

bool audio_is_stereo()
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    return m.output != Output::none && m.channels == 2;
}

int mixahead_fragments(int milliseconds)
{
    const long long f = static_cast<long long>(milliseconds) * 64 / 1000;
    return static_cast<int>(std::clamp<long long>(f, 1, 32));
}

// ---- sounds ----

SoundPtr new_sound(int count, const std::uint8_t* samples, int rate)
{
    Mixer& m = mixer();
    Lock lock(m.mutex);
    if (m.output == Output::none || count <= 0 || !samples || rate <= 0)
        return nullptr;
    const std::int64_t length = static_cast<std::int64_t>(count) * m.rate / rate;
    if (length <= 0 || length > (1ll << 30))
        return nullptr;
    build_tables(m);
    auto data = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(length));
    for (std::int64_t i = 0; i < length; ++i)
        (*data)[static_cast<std::size_t>(i)] = samples[std::min<std::int64_t>(i * rate / m.rate, count - 1)];
    SoundPtr s(std::make_unique<Sound>().release());  // freed through free_sound
    s->data = std::move(data);
    s->rate = m.rate;
    s->output_rate = m.rate;
    s->stereo = m.channels == 2;
    s->pan = s->stereo ? 0 : -32768;
    for (int c = 0; c < 2; ++c) {
        s->voices[static_cast<std::size_t>(c)].sound = s.get();
        s->voices[static_cast<std::size_t>(c)].channel = c;
    }
    s->voices[0].level = left_level(s->volume, s->pan);
    s->voices[1].level = s->stereo ? right_level(s->volume, s->pan) : 0;
    return s;
}

SoundPtr copy_sound(const Sound* sound)
{
    if (!sound)
        return nullptr;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    SoundPtr s(std::make_unique<Sound>().release());
    s->data = sound->data;
    s->rate = sound->rate;
    s->output_rate = sound->output_rate;
    s->volume = sound->volume;
    s->pan = sound->pan;
    s->looping = sound->looping;
    s->stereo = sound->stereo;
    for (int c = 0; c < 2; ++c) {
        Voice& v = s->voices[static_cast<std::size_t>(c)];
        v.sound = s.get();
        v.channel = c;
        v.level = sound->voices[static_cast<std::size_t>(c)].level;
    }
    return s;
}

void free_sound(Sound* sound)
{
    if (!sound)
        return;
    Mixer& m = mixer();
    {
        Lock lock(m.mutex);
        for (Voice& v : sound->voices)
            unlist(m, v);
    }
    std::unique_ptr<Sound> owned(sound);
}

void play_sound(Sound* s)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    for (int c = 0; c < voice_count(*s); ++c) {
        Voice& v = s->voices[static_cast<std::size_t>(c)];
        v.restart = true;
        v.finished = false;  // a sound stopped and started again before a mix still plays
        if (!v.listed && m.output != Output::none && c < m.channels)
            list(m, v);
    }
}

void stop_sound(Sound* s)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    for (Voice& v : s->voices)
        if (v.listed)
            v.finished = true;
}

void set_volume(Sound* s, int volume)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    s->volume = std::clamp(volume, 0, k_max_volume);
    update_levels(m, *s);
}

void set_pan(Sound* s, int pan)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    s->pan = s->stereo ? std::clamp(pan, -32768, 32767) : -32768;
    update_levels(m, *s);
}

void set_loop(Sound* s, bool looping)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    s->looping = looping;
}

void set_rate(Sound* s, int rate)
{
    if (!s)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    s->rate = std::max(0, rate);
}

int play_position(const Sound* s)
{
    if (!s)
        return 0;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    const Voice& v = s->voices[0];
    if (!v.listed || v.restart || v.finished)
        return 0;
    return static_cast<int>(v.position);
}

void write_sound(Sound* s, int count, const std::uint8_t* samples, int position)
{
    if (!s || !samples || count <= 0)
        return;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    const int length = data_length(*s);
    if (length <= 0)
        return;
    if (count > length) {
        // Only the last data-length samples survive, at the places they would take.
        const int skip = count - length;
        samples += skip;
        position = static_cast<int>((static_cast<std::int64_t>(position) + skip) % length);
        count = length;
    }
    int at = static_cast<int>(((static_cast<std::int64_t>(position) % length) + length) % length);
    std::uint8_t* data = s->data->data();
    const int first = std::min(count, length - at);
    std::memcpy(data + at, samples, static_cast<std::size_t>(first));
    if (count > first)
        std::memcpy(data, samples + first, static_cast<std::size_t>(count - first));
}

int sound_length(const Sound* s)
{
    if (!s)
        return 0;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    return data_length(*s);
}

bool sound_is_playing(const Sound* s)
{
    if (!s)
        return false;
    Mixer& m = mixer();
    Lock lock(m.mutex);
    return s->voices[0].listed;
}

}  // namespace zv::platform
