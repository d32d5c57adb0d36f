#pragma once

#include <fstream>
#include <string>

// config.json opened for reading in the platform's text mode (on Windows CR LF
// reads as LF and a 0x1A byte ends the input) and shared, so other programs
// may still read and write it while the launcher holds it open.
struct ConfigFile {
    std::ifstream stream;   // in its failed state when the file could not be opened
    std::string openError;  // why it could not be opened; empty when it was
};

ConfigFile openConfigFile(const std::string& path);
