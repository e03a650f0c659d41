#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/plinth/CriticalSection.h"
#include "framework/plinth/Logger.h"

using logging::Logger;

namespace {

// Captures the root logger's entries for the life of a test.
class LoggerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Logger::mROOT_LOGGER->setSink(
            [this](int level, const char* text) { mEntries.emplace_back(level, text); });
    }
    void TearDown() override {
        Logger::mROOT_LOGGER->setSink(nullptr);
        Logger::mROOT_LOGGER->setDebugEnabled(false);
    }

    std::vector<std::pair<int, std::string>> mEntries;
};

}  // namespace

TEST_F(LoggerTest, SinkReceivesEachEntryExactlyOnce) {
    Logger::mROOT_LOGGER->warn("Missing key %s in bundle %s", "title", "default");
    Logger::mROOT_LOGGER->debug("<%s>\n", "a");
    Logger::mROOT_LOGGER->warn("%s", "");
    ASSERT_EQ(3u, mEntries.size());
    EXPECT_EQ(Logger::WARN, mEntries[0].first);
    EXPECT_EQ("Missing key title in bundle default", mEntries[0].second);
    EXPECT_EQ(Logger::DEBUG, mEntries[1].first);
    EXPECT_EQ("<a>\n", mEntries[1].second);
    EXPECT_EQ("", mEntries[2].second);
}

TEST_F(LoggerTest, EmptySinkRestoresStandardError) {
    Logger::mROOT_LOGGER->setSink(nullptr);
    ::testing::internal::CaptureStderr();
    Logger::mROOT_LOGGER->warn("disk %d full", 2);
    Logger::mROOT_LOGGER->debug("dropped %d", 1);
    Logger::mROOT_LOGGER->setDebugEnabled(true);
    Logger::mROOT_LOGGER->debug("kept %d", 3);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ("warning: disk 2 full\nkept 3", err);
    EXPECT_TRUE(mEntries.empty());
}

TEST_F(LoggerTest, ThreadsLogWholeEntries) {
    const int kPerThread = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) {
                Logger::mROOT_LOGGER->warn("thread %d entry %d", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(4u * kPerThread, mEntries.size());
    for (const auto& entry : mEntries) {
        EXPECT_EQ(0u, entry.second.rfind("thread ", 0));
    }
}

TEST(CriticalSection, GuardSerialisesIncrements) {
    core::CriticalSection lock;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 100000; ++i) {
            core::CriticalSection::Guard guard(lock);
            ++counter;
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(200000, counter);

    // A copy is a separate lock: holding the original does not block it.
    lock.enter();
    core::CriticalSection copy(lock);
    copy.enter();
    copy.leave();
    lock.leave();
}
