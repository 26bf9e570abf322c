// The demo's music and its end-screen sound, written as scores for the synthesiser.
//
// "MusicIntro.ogg" runs 118 s at 96 beats a minute (a bar is 2.5 s):
//   0-10 s   pads swell in (A minor: Am F C G), a quiet arpeggio from 5 s
//   10-20 s  bass pulse and hi-hats join, the filters open
//   20-40 s  kick and snare, the lead melody from 25 s, sixteenth arpeggios from 30 s
//   40-45 s  build-up: snare roll, riser, everything opens
//   45 s     the hit for "presents": boom, crash and a long chord that fades by 50 s
//   50-60 s  the logo sequence: new key (D minor: Dm Bb F C), pads and bells
//   60-90 s  half-time groove with the second melody from 70 s
//   90-100 s the groove falls away while the logo darkens
//   100-110 s final swell with a riser and a snare roll
//   110 s    the closing hit for "powered by", faded out by 115 s; silence to 118 s
#pragma once

#include "tools/synth.h"

inline constexpr double kMusicSeconds = 118.0;

Score introMusicScore();
// "Sound09.mp3": a rising shimmer that opens into a bright chord with a soft boom, 4 s.
Score endSoundScore();
