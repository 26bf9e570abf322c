// The sound layer's calls: output and driver choice, initialisation at a mix rate, a music
// stream and sound samples from memory images, play, stop, pause, volume, the stream's play
// time and an error code. Audio goes to an SDL audio device, or nowhere when the layer is
// started offline and the caller renders the mix itself.
#pragma once

#include <cstdint>
#include <string>

#include "sound/device.h"
#include "sound/mixer.h"

using FSOUND_STREAM = SoundStream;
using FSOUND_SAMPLE = SoundSample;

inline constexpr int FSOUND_FREE = -1; // any free channel or sample slot
inline constexpr int FSOUND_ALL = -3;  // every channel

// Mode bits of the open and load calls.
inline constexpr unsigned FSOUND_LOOP_OFF = 0x0001;
inline constexpr unsigned FSOUND_16BITS = 0x0010;
inline constexpr unsigned FSOUND_STEREO = 0x0040;
inline constexpr unsigned FSOUND_SIGNED = 0x0100;
inline constexpr unsigned FSOUND_LOADMEMORY = 0x8000; // the name argument is a memory image

// Error codes returned by FSOUND_GetError.
enum SoundError {
    kSoundErrNone = 0,
    kSoundErrInitialised = 1,
    kSoundErrUninitialised = 2,
    kSoundErrInit = 3,
    kSoundErrAllocated = 4,
    kSoundErrPlay = 5,
    kSoundErrOutputFormat = 6,
    kSoundErrCooperativeLevel = 7,
    kSoundErrCreateBuffer = 8,
    kSoundErrFileNotFound = 9,
    kSoundErrFileFormat = 10,
    kSoundErrFileBad = 11,
    kSoundErrMemory = 12,
    kSoundErrVersion = 13,
    kSoundErrInvalidParam = 14,
    kSoundErrNoEax = 15,
    kSoundErrChannelAlloc = 16,
    kSoundErrRecord = 17,
    kSoundErrMediaPlayer = 18,
};

// Before FSOUND_Init (afterwards they fail with error 1).
bool FSOUND_SetOutput(int outputType);
bool FSOUND_SetDriver(int driver);
bool FSOUND_SetHWND(void* window);
// Any time: the audio devices of the chosen output ("Default" when SDL lists none).
int FSOUND_GetNumDrivers();
const char* FSOUND_GetDriverName(int driver);

// Opens the device at mixRate, 16-bit stereo. maxChannels is 1 to 64.
bool FSOUND_Init(int mixRate, int maxChannels, unsigned flags);
// Stops everything, frees every stream and sample and returns the layer to its start state.
void FSOUND_Close();

// Streams and samples read memory images that stay owned by the caller; a stream's image
// must live until FSOUND_Stream_Close. The image is `length` bytes at data, the sound starts
// `offset` bytes into it. Null on failure (error 10 or 11 for bad data).
FSOUND_STREAM* FSOUND_Stream_Open(const void* data, unsigned mode, int offset, int length);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream); // the channel, or -1
bool FSOUND_Stream_Stop(FSOUND_STREAM* stream);             // stops and rewinds
bool FSOUND_Stream_Close(FSOUND_STREAM* stream);
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream); // play position in milliseconds
// Moves the play position to ms milliseconds, playing or not; a position past the end ends
// the stream (the clock still reads ms). False for a negative time or an unknown stream.
bool FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms);

FSOUND_SAMPLE* FSOUND_Sample_Load(int slot, const void* data, unsigned mode, int offset,
                                  int length);
void FSOUND_Sample_Free(FSOUND_SAMPLE* sample);
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample); // the channel, or -1
bool FSOUND_StopSound(int channel);
// Moves the sample playing on a channel to `frame` (frames at the mix rate); at or past its
// end the sound ends. False for a channel with no sample on it.
bool FSOUND_SetCurrentPosition(int channel, unsigned frame);

// A channel's volume (0-255) stays with the channel for the next sound played on it; a
// channel whose sound stops or ends goes back to 255.
bool FSOUND_SetVolume(int channel, int volume);
bool FSOUND_SetPaused(int channel, bool paused);
int FSOUND_GetError();

// Why the last FSOUND_SetOutput, FSOUND_GetNumDrivers or FSOUND_Init could not reach a
// device: the SDL driver tried and SDL's reason. `missing` where there is no device at all
// (the driver does not start, or it lists no device and its default does not open); not
// where a device is there and fails (a listed device that does not open, or one that stops
// on its first buffer). Empty driver while nothing failed.
struct SoundDeviceFailure {
    bool missing = false;
    std::string driver;
    std::string reason;
};
const SoundDeviceFailure& soundDeviceFailure();

// The text for an error code ("Unknown error" for codes outside 0-18).
const char* soundErrorText(int code);

// Starts the layer at mixRate without any device: nothing plays by itself, and the caller
// advances the mix (and the stream clocks) with soundRenderFrames. Same errors as
// FSOUND_Init; FSOUND_Close ends it.
bool soundInitOffline(int mixRate);
// Mixes the next `frames` frames into out (interleaved 16-bit stereo at the mix rate) and
// returns how many leading frames had a sound playing; -1 on error.
int soundRenderFrames(int16_t* out, int frames);
// The mix rate the layer was started at; 0 while it is not running.
int FSOUND_GetOutputRate();
// True between a successful FSOUND_Init (or soundInitOffline) and FSOUND_Close.
bool soundIsRunning();
// How many channels have a sound on them (paused ones included).
int soundBusyChannels();
