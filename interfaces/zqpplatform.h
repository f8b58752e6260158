#ifndef ZQPPLATFORM_H
#define ZQPPLATFORM_H

#include <QtGlobal>

// File names that follow the platform's naming of libraries. Everything that
// looks for a library by name takes it from here.
namespace ZQPPlatform {

#if defined(Q_OS_WIN)
// Plugin files in the program's "zqp" folder.
constexpr char PluginPattern[] = "*.dll";
// BASS add-ons in the "bass" folder beside the program.
constexpr char BassAddOnPattern[] = "bass*.dll";
// The Nicomsoft OCR engine, relative to the working directory.
constexpr char NicomsoftEnginePath[] = "./nsocr/NSOCR.dll";
#elif defined(Q_OS_MACOS)
constexpr char PluginPattern[] = "*.so"; // CMake names loadable modules ".so" here too
constexpr char BassAddOnPattern[] = "libbass*.dylib";
constexpr char NicomsoftEnginePath[] = "./nsocr/libNSOCR.dylib";
#else
constexpr char PluginPattern[] = "*.so";
constexpr char BassAddOnPattern[] = "libbass*.so";
constexpr char NicomsoftEnginePath[] = "./nsocr/libNSOCR.so";
#endif

} // namespace ZQPPlatform

#endif // ZQPPLATFORM_H
