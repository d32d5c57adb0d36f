#pragma once

#include <jni.h>

// While it lives, a stop the system asks for (platform::takeStopRequests: a
// Windows service's stop, or the machine's shutdown) ends the Java program as
// System.exit(0) does, its shutdown hooks run: System.exit is called on a
// thread of its own, attached to the VM. Where no system asks, it does nothing.
class ExitOnStopRequest {
public:
    explicit ExitOnStopRequest(JavaVM* vm);
    ~ExitOnStopRequest();
    ExitOnStopRequest(const ExitOnStopRequest&) = delete;
    ExitOnStopRequest& operator=(const ExitOnStopRequest&) = delete;
};
