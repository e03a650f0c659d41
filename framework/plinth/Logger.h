// Logger writes the library's warnings and debug entries. There is one root
// logger, Logger::mROOT_LOGGER, alive for the whole life of the library.
// By default warnings go to standard error, one line each, and debug entries
// are dropped; a sink replaces that (tests capture warnings through it):
//
//   logging::Logger::mROOT_LOGGER->setSink([](int level, const char* text) { ... });
//   logging::Logger::mROOT_LOGGER->setSink(nullptr);   // back to the default
//
// The sink receives each entry's formatted text exactly, one call per entry.
// Entries are serialised by a lock, so threads may log at the same time.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_LOGGER_H
#define KAVRIXML_FRAMEWORK_PLINTH_LOGGER_H

#include <cstdarg>
#include <functional>
#include <mutex>

namespace logging {

class Logger {
  public:
    enum Level { DEBUG = 0, WARN = 1 };
    using Sink = std::function<void(int level, const char* text)>;

    static Logger* mROOT_LOGGER;

    Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void debug(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void warn(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void log(int level, const char* format, va_list args);

    // Replaces where entries go; an empty function restores the default.
    void setSink(Sink sink);
    // With the default sink, debug entries are written to standard error too.
    void setDebugEnabled(bool enabled);
    bool isDebugEnabled() const;

  private:
    void write(int level, const char* text);

    mutable std::mutex mMutex;
    Sink mSink;
    bool mDebugEnabled = false;
};

}  // namespace logging

#endif  // KAVRIXML_FRAMEWORK_PLINTH_LOGGER_H
