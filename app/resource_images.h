// The icon and the dialog bitmaps compiled into the program (made by demotool at build
// time): installResourceImages makes them known to the windows that show them.
#pragma once

void installResourceImages();
