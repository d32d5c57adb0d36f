#pragma once

#include "launcher/launch_settings.h"

// Shows the "-splash:" image of the settings, as java does before it creates
// the JVM: through the runtime's own splash library, loaded by absolute path
// from jre, so that java.awt.SplashScreen in the program finds the same
// splash, can draw on it and close it, and AWT closes it when the first
// window appears. A splash is a decoration: when it cannot or must not be
// shown (the JVM runs headless, no image, no splash library in the runtime, no
// display) the launch goes on, and the trace says why in one line.
void showSplashScreen(const LaunchSettings& settings);
