/* platform/audio: the audio calls the demo makes, and one a tool makes.

   The folder owns music playback: Ogg Vorbis decoding (libvorbisfile), output
   through SDL2's audio subsystem, and a silent real-time clock that stands in
   for the output where none can be opened, so that the music position still
   advances in time.

   Usage, all from the main thread:

       BASS_Start();
       BASS_Init(-1, 44100, 0, NULL, NULL);
       uint32_t music = BASS_StreamCreateFile(false, "tune.ogg", 0, 0, 0);
       BASS_ChannelPlay(music, false);
       ...
       uint64_t bytes = BASS_ChannelGetPosition(music, BASS_POS_BYTE);
       double seconds = BASS_ChannelBytes2Seconds(music, bytes);
       ...
       BASS_StreamFree(music);
       BASS_Free();

   Positions are bytes of 16-bit interleaved PCM at the stream's own rate and
   channel count (stereo at 44.1 kHz: 176,400 bytes a second), always on a
   whole sample frame. The position is what is being heard: it advances
   smoothly with the playback, never ahead of the audio handed to the output.

   Failure contract: nothing is printed, ever. Calls return false (or 0, or
   all bits set for positions, or -1.0 for seconds) on a handle that is not a
   live stream, handle 0 included. */
#ifndef ORVANTA_PLATFORM_AUDIO_H
#define ORVANTA_PLATFORM_AUDIO_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BASS_POS_BYTE 0u

/* Prepares the layer; may be called before BASS_Init. Always true. */
bool BASS_Start(void);

/* Opens the output: device -1 is the default output, `freq` the rate asked
   for. Only SDL's audio subsystem is initialised. When no output can be
   opened the layer plays silently on a monotonic clock and still returns
   true; false only for a device other than -1. `flags`, `window` and
   `classId` are accepted and ignored. */
bool BASS_Init(int device, uint32_t freq, uint32_t flags, void* window, const void* classId);

/* Decodes a whole Ogg Vorbis file (mono or stereo, any rate) into memory.
   `fromMemory` must be false; `offset` and `length` 0 (the whole file).
   Returns the stream's handle, or 0 when the file cannot be opened or
   decoded, or BASS_Init has not run. */
uint32_t BASS_StreamCreateFile(bool fromMemory, const void* file, uint64_t offset, uint64_t length,
                               uint32_t flags);

/* Plays from the current position; with `restart`, from the start. A stream
   at its end stays there. */
bool BASS_ChannelPlay(uint32_t handle, bool restart);

/* Stops playback, holding the position. */
bool BASS_ChannelPause(uint32_t handle);

/* Lets the layer do its periodic work; nothing is needed here. */
bool BASS_Update(uint32_t period);

/* The position in bytes (mode BASS_POS_BYTE), or all bits set on failure. */
uint64_t BASS_ChannelGetPosition(uint32_t handle, uint32_t mode);

/* A byte position in seconds, or -1.0 on failure. */
double BASS_ChannelBytes2Seconds(uint32_t handle, uint64_t position);

/* Moves playback to a byte position, rounded down to a whole sample frame.
   A position outside 0 to the stream's length is refused: false, nothing
   changes. */
bool BASS_ChannelSetPosition(uint32_t handle, uint64_t position, uint32_t mode);

/* Releases a stream; its handle is dead afterwards. */
bool BASS_StreamFree(uint32_t handle);

/* Releases every stream and the output. */
bool BASS_Free(void);

/* Not the demo's: a tool's new version of part of the music (the live
   player's quick render of a changed score). Overwrites `count` frames of a
   stream's decoded audio from frame `first` on with `samples` (16-bit,
   interleaved, `channels` to a frame, at the stream's rate), cut at the
   stream's end. Where playback stands inside them, `fade` frames pass from
   the old audio to the new, so the change makes no click; what the output
   has taken already plays as it was. False, changing nothing, on a dead
   handle, another channel count, or a first frame past the end. */
bool AUDIO_StreamOverwrite(uint32_t handle, uint64_t first, const int16_t* samples, uint64_t count,
                           uint32_t channels, uint64_t fade);

#ifdef __cplusplus
}
#endif

#endif
