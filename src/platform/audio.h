// Sound output: the software mixer and its two outputs, the sound device
// (an SDL audio device fed by the audio thread) and readback (mixing into
// memory on request, for recording). Every operation is safe to call from
// the game thread while the audio thread mixes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace zv::platform {

struct Sound;  // one voice; see audio_mixer.h

void free_sound(Sound* sound);
struct SoundDeleter {
    void operator()(Sound* sound) const { free_sound(sound); }
};
using SoundPtr = std::unique_ptr<Sound, SoundDeleter>;

// Opens the sound device (platform options "sound-rate", default 22050;
// "sound-channels", the number of sounds heard at once, default 16;
// "sound-mixahead", milliseconds mixed ahead, default 125). Logs and returns
// false on failure: the game then goes on silent.
bool open_audio();
// Opens the memory output: fragments of fragment_length samples at rate,
// mono unless channels is 2, mixed by mix_readback.
bool open_readback(int rate, int fragment_length, int channels = 1);
// Closes whichever output is open; sounds stay valid (and silent) until freed.
void close_audio();
bool audio_is_open();
int audio_output_rate();   // 0 when closed
bool audio_is_stereo();

// Mixes one readback fragment: 16-bit samples, interleaved when stereo.
// Empty when readback is not open. The span lives until the next call.
std::span<const std::int16_t> mix_readback();

// 8-bit unsigned samples (128 is silence) at rate, resampled to the output
// rate by nearest sample. Null when no output is open or nothing remains.
SoundPtr new_sound(int count, const std::uint8_t* samples, int rate);
// A stopped sound sharing the sample data.
SoundPtr copy_sound(const Sound* sound);

void play_sound(Sound* sound);   // (re)starts from the beginning
void stop_sound(Sound* sound);
void set_volume(Sound* sound, int volume);  // 0 ... 32767
void set_pan(Sound* sound, int pan);        // -32768 ... 32767
void set_loop(Sound* sound, bool looping);
void set_rate(Sound* sound, int rate);      // samples per second of the data
// Bytes from the start of the data while playing (no restart pending), else 0.
int play_position(const Sound* sound);
// Copies samples into the data as into a ring, starting at position modulo
// the data length; of more samples than the data holds, only the last
// data-length ones are written.
void write_sound(Sound* sound, int count, const std::uint8_t* samples, int position);
int sound_length(const Sound* sound);
bool sound_is_playing(const Sound* sound);

// Fragments of mix-ahead for a "sound-mixahead" in milliseconds (1 ... 32).
int mixahead_fragments(int milliseconds);

}  // namespace zv::platform
