#pragma once

// A library the stand-in JVM library imports, as a real jvm.dll imports the C
// runtime DLLs its Java runtime ships in jre\bin.
#ifdef _WIN32
#define STANDIN_DEPENDENCY_API __declspec(dllexport)
#else
#define STANDIN_DEPENDENCY_API __attribute__((visibility("default")))
#endif

extern "C" STANDIN_DEPENDENCY_API const char* standinDependencyName();
