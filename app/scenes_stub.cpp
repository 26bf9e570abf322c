// TEMPORARY: empty sequences until the scenes and the gamma screen are merged.
#include "app/gamma_screen.h"
#include "app/scenes.h"

void runGammaScreen() {}
void playFirstScene() {}
void playSecondScene() {}
void playEndScreen() {}
