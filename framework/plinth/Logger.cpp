#include "framework/plinth/Logger.h"

#include <cstdio>

#include "framework/plinth/Exception.h"

namespace logging {

namespace {
Logger gRootLogger;
}

Logger* Logger::mROOT_LOGGER = &gRootLogger;

void Logger::debug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    log(DEBUG, format, args);
    va_end(args);
}

void Logger::warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    log(WARN, format, args);
    va_end(args);
}

void Logger::log(int level, const char* format, va_list args) {
    {
        // Formatting is skipped for entries that nobody will see.
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mSink && level == DEBUG && !mDebugEnabled) {
            return;
        }
    }
    std::string text = core::Exception::vformat(format, args);
    write(level, text.c_str());
}

void Logger::write(int level, const char* text) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSink) {
        mSink(level, text);
        return;
    }
    if (level == DEBUG) {
        // Debug entries are pieces of a picture (the node dump): written as they
        // come, without adding line breaks.
        std::fputs(text, stderr);
    } else {
        std::fprintf(stderr, "warning: %s\n", text);
    }
}

void Logger::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(mMutex);
    mSink = std::move(sink);
}

void Logger::setDebugEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(mMutex);
    mDebugEnabled = enabled;
}

bool Logger::isDebugEnabled() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mDebugEnabled;
}

}  // namespace logging
