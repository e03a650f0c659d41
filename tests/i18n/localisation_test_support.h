// The fixture of the localisation tests: the system language pinned to "en",
// root-logger warnings captured word for word, and everything restored (the
// language manager deleted) after each test.
#ifndef KAVRIXML_TESTS_I18N_LOCALISATION_TEST_SUPPORT_H
#define KAVRIXML_TESTS_I18N_LOCALISATION_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/Logger.h"
#include "i18n/I18N.h"

class LocalisationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kavri::platform::SystemInfo::setLanguageCode("en");
        logging::Logger::mROOT_LOGGER->setSink([this](int level, const char* text) {
            if (level == logging::Logger::WARN) {
                mWarnings.emplace_back(text);
            }
        });
    }
    void TearDown() override {
        kavri::i18n::I18N::deleteSingleton();
        logging::Logger::mROOT_LOGGER->setSink(nullptr);
        kavri::platform::SystemInfo::setLanguageCode(nullptr);
    }

    std::vector<std::string> mWarnings;
};

#endif  // KAVRIXML_TESTS_I18N_LOCALISATION_TEST_SUPPORT_H
