// The gamma calibration screen: a row of letters in rising greys and a slider whose position
// sets the display's gamma ramp. Enter or Space ends it; the chosen gamma is left in the
// configuration record.
#pragma once

void runGammaScreen();
