// The demo's three timed sequences: the first scene (camera flight through the hall, glowing
// logo, star particles, flares, the "presents" title), the second scene (blurred logo, the
// "powered by" title) and the end screen. Each returns when its time is up, on Escape, or when
// the window is gone.
#pragma once

void playFirstScene();
void playSecondScene();
void playEndScreen();
// The three in turn, played again from where the player jumps back to, the music stopped
// before the end screen.
void playScenes();
